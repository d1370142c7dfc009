#include "search/filelisting.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>

#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogformat.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "names/namesindexcache.h"
#include "search/filelist.h"
#include "search/indexedrows.h"
#include "search/oncemessagebox.h"
#include "search/skippingrows.h"
#include "search/xmllocator.h"

namespace mellowby::search {

namespace {

// The folder's rows from the catalog's names index, made again once when it turns out damaged.
std::optional<bool> listThroughIndex(const names::NamesIndexCache& indexes, const std::string& catalogName,
    IRowList& list, const std::optional<std::string>& title, const NodeAddress& address, std::size_t& given)
{
    return throughIndex<bool>(
        indexes, catalogName, list, given, [&](const names::NamesIndex& index, IRowList& rows, std::size_t& count) {
            return listIndexFolder(index, rows, title, address, count);
        });
}

constexpr const char* kNodesFailure = "取得XML节点时出错！";
constexpr const char* kNodesSource = "frmMain-getAllXmlNodeByName";

// The element the tree node at address stands for. The tree was filled from the index twin
// in document order and the twin holds the same Directory elements as the catalog proper,
// so the n-th Directory of a title among its siblings is the n-th node of that label. Only
// that one directory is listed, never a namesake elsewhere in the catalog. The root is the Disk
// element when its title is rootTitle, or whatever its title when there is none to check.
pugi::xml_node directoryAt(
    const pugi::xml_node& disk, const std::optional<std::string>& rootTitle, const NodeAddress& address)
{
    if (!catalog::isElement(disk, catalog::kDiskElement))
        return {};
    if (address.empty())
        return !rootTitle || *rootTitle == catalog::attributeAt(disk, catalog::kTitlePosition).value()
            ? disk
            : pugi::xml_node();
    pugi::xml_node level = disk;
    for (const auto& [stepTitle, position] : address) {
        std::size_t seen = 0;
        pugi::xml_node next;
        for (pugi::xml_node child = level.first_child(); child; child = child.next_sibling()) {
            if (catalog::isElement(child, catalog::kDirectoryElement)
                && stepTitle == catalog::attributeAt(child, catalog::kTitlePosition).value() && seen++ == position) {
                next = child;
                break;
            }
        }
        if (!next)
            return {};
        level = next;
    }
    return level;
}

// Fills the list from the File children of directory; false after a failure, reported.
bool listFiles(const pugi::xml_node& directory, IRowList& list, platform::IMessageBox& box)
{
    XmlLocator locator(box, XmlLocator::separatorOf(directory));
    // Every file of the directory shares the location of the directory: it is computed once,
    // on the first file that needs it, so that a failing level is reported once and only
    // when a row reaches its location cell.
    std::optional<std::string> prefix;
    for (pugi::xml_node file = directory.first_child(); file; file = file.next_sibling()) {
        if (!catalog::isElement(file, catalog::kFileElement))
            continue;
        const pugi::xml_node text = file.first_child();
        if (!text) {
            app::ShowMsg(box, kNodesFailure, 0, "File 元素没有文件名。", kNodesSource);
            return false;
        }
        const pugi::xml_attribute date = file.first_attribute();
        const pugi::xml_attribute size = date.next_attribute();
        if (!size) {
            list.appendNameOnly(text.value());
            app::ShowMsg(box, kNodesFailure, 0, "File 元素缺少创建时间或大小属性。", kNodesSource);
            return false;
        }
        if (!prefix)
            prefix = locator.prefixFor(directory);
        list.appendRow(text.value(), size.value(), date.value(), *prefix, {});
    }
    return true;
}

} // namespace

NodeAddress addressOf(const browse::CatalogTree& tree, browse::NodeId node)
{
    NodeAddress address;
    if (!tree.contains(node))
        return address;
    for (browse::NodeId level = node; tree.parent(level) != browse::kNoNode; level = tree.parent(level)) {
        const std::string& label = tree.label(level);
        std::size_t position = 0;
        for (const browse::NodeId sibling : tree.children(tree.parent(level))) {
            if (sibling == level)
                break;
            if (tree.label(sibling) == label)
                ++position;
        }
        address.emplace_back(label, position);
    }
    std::ranges::reverse(address);
    return address;
}

void FreshRightList(browse::CatalogBrowser& browser, IRowList& list)
{
    try {
        browse::CatalogTree& tree = browser.tree();
        browse::NodeId node = tree.selectedNode();
        if (node == browse::kNoNode) {
            if (tree.empty())
                return;
            tree.select(tree.roots().front());
            node = tree.selectedNode();
        }
        const std::string title = tree.label(node);
        std::string catalogName;
        browse::getParentNode(tree, node, catalogName);
        getAllXmlNodeByName(browser, list, catalogName, title, addressOf(tree, node));
        browser.setCurrentCatalogName(catalogName);
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), "刷新右侧列表时出错！", 0, failure.what(), "frmMain-FreshRightList");
    }
}

bool getAllXmlNodeByName(browse::CatalogBrowser& browser, IRowList& list, const std::string& catalogName,
    const std::string& title, const NodeAddress& address)
{
    try {
        // Through the catalog's names index; an index found damaged is made again, and should that
        // one be damaged too, the file is read; either goes on after the rows already given.
        std::size_t given = 0;
        if (const auto found = listThroughIndex(browser.indexes(), catalogName, list, title, address, given))
            return *found;
        // A catalog file that is missing, unreadable, or that the name cannot name lists nothing.
        const catalog::CatalogDocument document = browser.store().loadCatalog(catalogName);
        SkippingRows rest(list, given);
        return listDocumentFiles(browser.box(), rest, document, title, address);
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), kNodesFailure, 0, failure.what(), kNodesSource);
        list.flush();
        return false;
    }
}

bool listDocumentFiles(platform::IMessageBox& box, IRowList& list, const catalog::CatalogDocument& document,
    const std::optional<std::string>& title, const NodeAddress& address)
{
    OnceMessageBox onceBox(box);
    try {
        const pugi::xml_node directory = directoryAt(document.documentElement(), title, address);
        list.clear();
        const bool listed = !directory || listFiles(directory, list, onceBox);
        list.finishFill();
        return listed;
    } catch (const std::exception& failure) {
        app::ShowMsg(onceBox, kNodesFailure, 0, failure.what(), kNodesSource);
        list.flush();
        return false;
    }
}

std::optional<bool> listCatalogFolder(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& catalogName, const NodeAddress& address)
{
    std::size_t given = 0;
    if (const auto found = listThroughIndex(indexes, catalogName, list, std::nullopt, address, given))
        return found;
    const catalog::CatalogDocument document = indexes.store().loadCatalog(catalogName);
    if (!document.loaded())
        return std::nullopt;
    SkippingRows rest(list, given);
    if (!directoryAt(document.documentElement(), std::nullopt, address)) {
        rest.clear();
        rest.finishFill();
        return false;
    }
    listDocumentFiles(box, rest, document, std::nullopt, address);
    return true;
}

std::string getXmlParentNode(platform::IMessageBox& box, const pugi::xml_node& node)
{
    return XmlLocator(box, XmlLocator::separatorOf(node)).location(node);
}

} // namespace mellowby::search
