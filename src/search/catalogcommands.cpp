#include "search/catalogcommands.h"

#include <exception>

#include "app/programfolder.h"
#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalognames.h"
#include "catalog/scanner.h"
#include "platform/messagebox.h"
#include "search/filelist.h"

namespace mellowby::search {

namespace {

constexpr const char* kDeleteTitle = "删除磁盘目录文件";

} // namespace

void mnuEditDele_Click(browse::CatalogBrowser& browser, FileList& list, platform::IFileSystem& fileSystem)
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
    DelXmlFile(browser, list, fileSystem, name);
}

bool DelXmlFile(
    browse::CatalogBrowser& browser, FileList& list, platform::IFileSystem& fileSystem, const std::string& name)
{
    if (name.empty())
        return false;
    try {
        // Found by the same rule that named the files, so a name typed with ".xml" deletes too.
        const std::string path
            = app::ProgramFolder::resolveIn(browser.dataDir(), catalog::catalogFileNames(name).xmlName);
        if (catalog::DeleteFile(fileSystem, path) != 0) {
            app::ShowMsg(browser.box(), "删除文件" + name + "时没有成功！", 0, "", "frmMain-DelXmlFile");
            return false;
        }
        if (!browser.ifXmlLoaded(name)) {
            browser.getXmlIndex(name); // says that the catalog is not loaded
            app::ShowMsg(browser.box(), "删除XML文件时出错！", 0, "目录“" + name + "”没有载入。", "frmMain-DelXmlFile");
            return false;
        }
        browser.removeCatalog(name);
        list.clear();
        list.finishFill();
        browser.setCurrentCatalogName({});
        return true;
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), "删除XML文件时出错！", 0, failure.what(), "frmMain-DelXmlFile");
        return false;
    }
}

} // namespace mellowby::search
