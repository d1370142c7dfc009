#include "search/filesearch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogformat.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "catalog/uppercaser.h"
#include "names/namesindexcache.h"
#include "search/filelisting.h"
#include "search/indexedrows.h"
#include "search/locationlimit.h"
#include "search/oncemessagebox.h"
#include "search/rowlist.h"
#include "search/skippingrows.h"
#include "search/xmllocator.h"

namespace mellowby::search {

using catalog::UpperCaser;

namespace {

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The locations of the folders on the walk's current path, kept as one text: a folder's location
// begins with its parent's, so the text of the deepest one holds them all, and of the others only
// the lengths are kept. A hit's folder is thus located without walking up the catalog again,
// which would cost a deep catalog time in the square of its depth. Depth 1 is the root element.
class PathLocations {
public:
    explicit PathLocations(XmlLocator& locator)
        : m_locator(locator)
    {
    }

    // The element at depth, and every one below it, is no longer on the path.
    void leave(std::size_t depth)
    {
        if (m_ends.size() < depth)
            return;
        m_ends.resize(depth - 1);
        m_text.resize(m_ends.empty() ? 0 : m_ends.back());
    }

    // What the locations of folder's files begin with; folder lies at depth on the path (0: the
    // document itself).
    std::string_view prefixOf(const pugi::xml_node& folder, std::size_t depth)
    {
        if (depth == 0)
            return {};
        leave(depth + 1);
        m_missing.clear();
        pugi::xml_node level = folder;
        for (std::size_t at = depth; at > m_ends.size(); --at) {
            m_missing.push_back(level);
            level = level.parent();
        }
        for (auto missing = m_missing.rbegin(); missing != m_missing.rend(); ++missing) {
            if (m_ends.empty())
                m_text = m_locator.prefixFor(*missing);
            else
                m_locator.extendPrefix(m_text, *missing);
            m_ends.push_back(m_text.size());
        }
        return std::string_view(m_text).substr(0, m_ends[depth - 1]);
    }

private:
    XmlLocator& m_locator;
    std::string m_text;
    std::vector<std::size_t> m_ends; // m_ends[d - 1]: the length of the location at depth d
    std::vector<pugi::xml_node> m_missing;
};

// One catalog's hits, appended to the list. Every File element of the document is visited
// in document order by walking the tree with a loop, as deep as the catalog nests.
void searchCatalog(const catalog::CatalogDocument& document, platform::IMessageBox& box, UpperCaser& upper,
    IRowList& list, std::string_view findText, const std::string& catalogName)
{
    if (!document.loaded())
        return;
    XmlLocator locator(box, XmlLocator::separatorOf(document.documentElement()));
    PathLocations locations(locator);
    // Files of one directory follow one another, so the last directory's location serves
    // most hits.
    pugi::xml_node lastParent;
    // Views the text of locations, which changes only when another folder is located.
    std::string_view prefix;
    std::size_t locationBytes = 0;

    const pugi::xml_node top = document.documentNode();
    pugi::xml_node node = top.first_child();
    std::size_t depth = 1;
    while (node) {
        if (catalog::isElement(node, catalog::kFileElement)) {
            const pugi::xml_node text = node.first_child();
            if (!text) {
                app::ShowMsg(box, kSearchFailure, 0, "File 元素没有文件名。", kSearchSource);
                return;
            }
            const std::string_view name = text.value();
            if (upper.upper(name).find(findText) != std::string_view::npos) {
                const pugi::xml_attribute date = node.first_attribute();
                const pugi::xml_attribute size = date.next_attribute();
                if (!size) {
                    list.appendNameOnly(name);
                    app::ShowMsg(box, kSearchFailure, 0, "File 元素缺少创建时间或大小属性。", kSearchSource);
                    return;
                }
                const pugi::xml_node parent = node.parent();
                if (parent != lastParent) {
                    prefix = locations.prefixOf(parent, depth - 1);
                    lastParent = parent;
                    locationBytes += prefix.size();
                    if (locationBytes > catalog::kMaxLocationBytes) {
                        app::ShowMsg(box, kSearchFailure, 0, kLocationsTooLong, kSearchSource);
                        return;
                    }
                }
                list.appendRow(name, size.value(), date.value(), prefix, catalogName);
                if (list.stopped())
                    return;
            }
        }
        if (const pugi::xml_node child = node.first_child()) {
            node = child;
            ++depth;
            continue;
        }
        while (node != top && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node == top)
            break;
        node = node.next_sibling();
        locations.leave(depth);
    }
}

void findInCatalog(const names::NamesIndexCache& indexes, platform::IMessageBox& box, UpperCaser& upper, IRowList& list,
    std::string_view findText, const std::string& catalogName)
{
    try {
        // The name is looked up as given: the lookup ignores letter case anyway, and upper-casing
        // it first could pick another catalog whose file name differs only in case. An index
        // found damaged is made again, and should that one be damaged too, the file is read;
        // either goes on after the rows already given.
        std::size_t given = 0;
        const auto searched = throughIndex<bool>(indexes, catalogName, list, given,
            [&](const names::NamesIndex& index, IRowList& rows, std::size_t& count) -> std::optional<bool> {
                return searchIndex(index, box, rows, findText, catalogName, count) ? std::optional(true) : std::nullopt;
            });
        if (searched || list.stopped())
            return; // the search has passed its rows on, or is no longer wanted
        const catalog::CatalogDocument document = indexes.store().loadCatalog(catalogName);
        SkippingRows rest(list, given);
        searchCatalog(document, box, upper, rest, findText, catalogName);
    } catch (const std::exception& failure) {
        app::ShowMsg(box, kSearchFailure, 0, failure.what(), kSearchSource);
    }
    list.flush();
}

} // namespace

std::string toUpperText(std::string_view utf8)
{
    UpperCaser upper;
    return std::string(upper.upper(utf8));
}

SearchScope SearchScope::of(const browse::CatalogBrowser& browser, bool allCatalogs)
{
    SearchScope scope { allCatalogs, {}, browser.currentCatalogName() };
    const browse::CatalogCollection& catalogs = browser.collection();
    for (std::size_t position = 0; position < catalogs.count(); ++position)
        scope.loadedCatalogs.push_back(catalogs.at(position).FileName());
    return scope;
}

bool isBlankFindText(std::string_view text)
{
    return trimBlanks(text).empty();
}

void cmdFind_Click(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& txtFind, const SearchScope& scope)
{
    try {
        if (isBlankFindText(txtFind)) {
            app::ShowMsg(box, "请输入要查找文件的名字内容！", 0, "", "查找文件");
            return;
        }
        UpperCaser upper;
        const std::string findText(upper.upper(trimBlanks(txtFind)));
        OnceMessageBox onceBox(box);
        list.clear();
        if (scope.allCatalogs) {
            for (const std::string& catalogName : scope.loadedCatalogs) {
                if (list.stopped())
                    break;
                findInCatalog(indexes, onceBox, upper, list, findText, catalogName);
            }
        } else if (!scope.currentCatalog.empty()) {
            findInCatalog(indexes, onceBox, upper, list, findText, scope.currentCatalog);
        } else {
            app::ShowMsg(onceBox, "请先选则一个文件后再进行查找！", 0, "查找文件", "");
        }
        list.finishFill();
    } catch (const std::exception& failure) {
        app::ShowMsg(box, "查找指定文件进出错！", 0, failure.what(), "frmMain-cmdFind_Click");
        list.flush();
    }
}

void findFileInXml(const names::NamesIndexCache& indexes, platform::IMessageBox& box, IRowList& list,
    const std::string& findText, const std::string& catalogName)
{
    try {
        OnceMessageBox onceBox(box);
        UpperCaser upper;
        findInCatalog(indexes, onceBox, upper, list, findText, catalogName);
    } catch (const std::exception& failure) {
        app::ShowMsg(box, kSearchFailure, 0, failure.what(), kSearchSource);
    }
}

void findFileInDocument(platform::IMessageBox& box, IRowList& list, const std::string& findText,
    const catalog::CatalogDocument& document, const std::string& catalogName)
{
    OnceMessageBox onceBox(box);
    try {
        UpperCaser upper;
        searchCatalog(document, onceBox, upper, list, findText, catalogName);
    } catch (const std::exception& failure) {
        app::ShowMsg(onceBox, kSearchFailure, 0, failure.what(), kSearchSource);
    }
    list.flush();
}

} // namespace mellowby::search
