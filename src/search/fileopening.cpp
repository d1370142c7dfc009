#include "search/fileopening.h"

#include <exception>

#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/drivelist.h"
#include "platform/desktopopener.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "search/filelist.h"

namespace mellowby::search {

namespace {

void showNotice(platform::IMessageBox& box, const std::string& text)
{
    box.show({ text, "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok });
}

} // namespace

void listVDir_DblClick(browse::CatalogBrowser& browser, const FileList& list, std::optional<std::size_t> selectedRow,
    FileOpening& services)
{
    if (!selectedRow || *selectedRow >= list.size())
        return;
    try {
        const FileRow row = list.row(*selectedRow);
        std::string path = row.location;
        if (path.size() > 1 && path.back() == platform::kPathSeparator)
            path.pop_back();
        const auto slash = path.rfind(platform::kPathSeparator);
        const std::string workingFolder = slash == std::string::npos ? services.programFolder + platform::kPathSeparator
                                                                     : path.substr(0, slash + 1);

        const platform::Drive* drive = services.drives.opticalDriveOf(path);
        if (drive != nullptr && !catalog::ifMediaValided(services.drivesProbe, browser.box(), drive->root)) {
            // Rows listed from the tree carry no catalog name; they come from the current catalog.
            const std::string disc = row.catalog.empty() ? browser.currentCatalogName() : row.catalog;
            showNotice(browser.box(), "指定文件在光盘上，请放入名为 " + disc + " 的光盘！");
            return;
        }
        if (!services.fileSystem.isFile(path)) {
            showNotice(browser.box(), "当前文件不存，请检查！");
            return;
        }
        if (auto opened = services.opener.open(path, workingFolder); !opened)
            app::ShowMsg(browser.box(), "打开指定文件时出错！", opened.error(), "frmMain-listVDir_DblClick");
    } catch (const std::exception& failure) {
        app::ShowMsg(browser.box(), "打开指定文件时出错！", 0, failure.what(), "frmMain-listVDir_DblClick");
    }
}

} // namespace mellowby::search
