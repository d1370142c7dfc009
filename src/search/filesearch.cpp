#include "search/filesearch.h"

#include <cstring>
#include <exception>

#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/oncemessagebox.h"
#include "search/uppercaser.h"
#include "search/xmllocator.h"

namespace mellowby::search {

namespace {

constexpr const char* kSearchFailure = "查找文件时出错！";
constexpr const char* kSearchSource = "frmMain-findFileInXml";

bool isFile(const pugi::xml_node& node)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), "File") == 0;
}

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// One catalog's hits, appended to the list. Every File element of the document is visited
// in document order by walking the tree with a loop, as deep as the catalog nests.
void searchCatalog(const std::string& dataDir, platform::IMessageBox& box, UpperCaser& upper, FileList& list,
    std::string_view findText, const std::string& catalogName)
{
    // The name is looked up as given: the lookup ignores letter case anyway, and upper-casing
    // it first could pick another catalog whose file name differs only in case.
    const catalog::CatalogDocument document = catalog::loadCatalog(catalogFilePath(dataDir, catalogName));
    if (!document.loaded())
        return;
    XmlLocator locator(box, XmlLocator::separatorOf(document.documentElement()));
    // Files of one directory follow one another, so the last directory's location serves
    // most hits.
    pugi::xml_node lastParent;
    std::string prefix;

    const pugi::xml_node top = document.documentNode();
    pugi::xml_node node = top.first_child();
    while (node) {
        if (isFile(node)) {
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
                    prefix = locator.prefixFor(parent);
                    lastParent = parent;
                }
                list.appendRow(name, size.value(), date.value(), prefix, catalogName);
            }
        }
        if (const pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != top && !node.next_sibling())
            node = node.parent();
        if (node == top)
            break;
        node = node.next_sibling();
    }
}

void findInCatalog(const std::string& dataDir, platform::IMessageBox& box, UpperCaser& upper, FileList& list,
    std::string_view findText, const std::string& catalogName)
{
    try {
        searchCatalog(dataDir, box, upper, list, findText, catalogName);
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

void cmdFind_Click(browse::CatalogBrowser& browser, FileList& list, const std::string& txtFind, bool allCatalogs)
{
    try {
        UpperCaser upper;
        const std::string findText(upper.upper(trimBlanks(txtFind)));
        if (findText.empty()) {
            app::ShowMsg(browser.box(), "请输入要查找文件的名字内容！", 0, "", "查找文件");
            return;
        }
        OnceMessageBox box(browser.box());
        list.clear();
        if (allCatalogs) {
            const browse::CatalogCollection& catalogs = browser.collection();
            for (std::size_t position = 0; position < catalogs.count(); ++position)
                findInCatalog(browser.dataDir(), box, upper, list, findText, catalogs.at(position).FileName());
        } else if (!browser.currentCatalogName().empty()) {
            findInCatalog(browser.dataDir(), box, upper, list, findText, browser.currentCatalogName());
        } else {
            app::ShowMsg(box, "请先选则一个文件后再进行查找！", 0, "查找文件", "");
        }
        list.finishFill();
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), "查找指定文件进出错！", 0, failure.what(), "frmMain-cmdFind_Click");
        list.flush();
    }
}

void findFileInXml(
    browse::CatalogBrowser& browser, FileList& list, const std::string& findText, const std::string& catalogName)
{
    try {
        OnceMessageBox box(browser.box());
        UpperCaser upper;
        findInCatalog(browser.dataDir(), box, upper, list, findText, catalogName);
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), kSearchFailure, 0, failure.what(), kSearchSource);
    }
}

} // namespace mellowby::search
