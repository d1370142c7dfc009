#include "search/catalogcommands.h"

#include <exception>

#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "platform/messagebox.h"
#include "search/filelist.h"

namespace mellowby::search {

namespace {

constexpr const char* kDeleteTitle = "删除磁盘目录文件";
constexpr const char* kDelXmlFileSource = "frmMain-DelXmlFile";
constexpr const char* kDelXmlFileFailure = "删除XML文件时出错！";

} // namespace

void mnuEditDele_Click(browse::CatalogBrowser& browser, FileList& list)
{
    const std::string name = browser.currentCatalogName();
    if (name.empty()) {
        app::ShowMsg(browser.box(), "请先选中要删除的文件节点！", 0, "", kDeleteTitle);
        return;
    }
    const auto answer = browser.box().show({ "你确定要删除" + name + "名称的磁盘目录文件吗？", kDeleteTitle,
        platform::MessageIcon::Information, platform::MessageButtons::YesNo });
    if (answer != platform::MessageAnswer::Yes)
        return;
    DelXmlFile(browser, list, name);
}

bool DelXmlFile(browse::CatalogBrowser& browser, FileList& list, const std::string& name)
{
    if (name.empty())
        return false;
    try {
        // The name comes from the catalog's Disk title: one that would lead out of the Data
        // folder is refused before anything is touched.
        if (const auto problem = catalog::catalogNameProblem(name)) {
            app::ShowMsg(browser.box(), kDelXmlFileFailure, 0, *problem, kDelXmlFileSource);
            return false;
        }
        // Found by the same rule that named the files, so a name typed with ".xml" deletes too.
        if (!browser.store().moveToTrash(name)) {
            app::ShowMsg(browser.box(), "删除文件" + name + "时没有成功！", 0, "", kDelXmlFileSource);
            return false;
        }
        if (!browser.ifXmlLoaded(name)) {
            browser.getXmlIndex(name); // says that the catalog is not loaded
            app::ShowMsg(browser.box(), kDelXmlFileFailure, 0, "目录“" + name + "”没有载入。", kDelXmlFileSource);
            return false;
        }
        browser.removeCatalog(name);
        list.clear();
        list.finishFill();
        browser.setCurrentCatalogName({});
        return true;
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), kDelXmlFileFailure, 0, failure.what(), kDelXmlFileSource);
        return false;
    }
}

} // namespace mellowby::search
