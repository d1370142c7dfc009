#include "search/fileopening.h"

#include <exception>

#include "app/programtitle.h"
#include "app/showmsg.h"
#include "archive/privatetemporaryfolder.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "catalog/drivelist.h"
#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"
#include "platform/desktopopener.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "platform/volumes.h"
#include "search/filelist.h"
#include "search/imagefileopening.h"
#include "search/memberopening.h"
#include "search/openedfilesfolder.h"

namespace mellowby::search {

namespace {

void showNotice(platform::IMessageBox& box, const std::string& text)
{
    box.show({ text, app::kProgramTitle, platform::MessageIcon::None, platform::MessageButtons::Ok });
}

// What the catalog's record of its volume says of a file: where the file is now, or the text of
// the box that says why it cannot be opened. Neither when the catalog has no record or the record
// cannot tell, and the file is looked for where the list says, as always.
struct VolumeVerdict {
    std::optional<std::string> path;
    std::optional<std::string> notice;
};

VolumeVerdict checkVolume(const catalog::CatalogStore& store, FileOpening& services, const std::string& disc,
    const std::string& path, const platform::Drive* opticalDrive)
{
    // A record speaks only of the files under the folder that was scanned.
    const auto record = store.volumeRecord(disc);
    if (!record || !catalog::relocated(*record, path, record->scannedPath))
        return {};
    const auto mounted = services.volumes.mountedVolumes();
    if (!mounted)
        return {};
    const auto where = catalog::locateVolume(*record, *mounted);
    std::string wanted = catalog::volumeDescription(record->volume);
    const bool optical = opticalDrive != nullptr || record->volume.type == "iso9660" || record->volume.type == "udf";
    const std::string medium = optical ? "光盘" : "磁盘";
    switch (where.state) {
    case catalog::VolumeState::Mounted:
        return { catalog::relocated(*record, path, where.scannedPathNow), std::nullopt };
    case catalog::VolumeState::Replaced: {
        std::string current = catalog::volumeDescription(where.volume);
        // Discs burned with the same label are told apart by what else is known of them.
        if (current == wanted) {
            wanted = catalog::volumeDescription(record->volume, catalog::VolumeDetail::Full);
            current = catalog::volumeDescription(where.volume, catalog::VolumeDetail::Full);
        }
        return { std::nullopt,
            "指定文件在" + medium + " " + wanted + " 上，驱动器中现在是" + medium + " " + current + " ，请放入名为 "
                + disc + " 的" + medium + "！" };
    }
    case catalog::VolumeState::Absent:
        break;
    }
    // An empty optical drive asks for the disc as it always has.
    if (opticalDrive != nullptr)
        return {};
    return { std::nullopt,
        "指定文件在" + medium + " " + wanted + " 上，现在找不到该" + medium + "，请放入名为 " + disc + " 的" + medium
            + "！" };
}

// A file of a catalogued disc image is taken out of the image, wherever the image file is now,
// and opened from the program's private folder. False for a catalog of no image.
bool openFromImage(
    browse::CatalogBrowser& browser, FileOpening& services, const std::string& disc, const std::string& path)
{
    const auto record = browser.store().volumeRecord(disc);
    if (!record || !record->image)
        return false;
    const std::string scanned = platform::collapseDoubledSeparators(record->scannedPath);
    const auto inside = platform::pathBelow(path, scanned);
    if (!inside)
        return false;
    std::string image = scanned;
    // An image on a volume that could not be told is looked for only where it was scanned.
    if (!services.fileSystem.isFile(image) && !record->volume.mountPoint.empty()) {
        const VolumeVerdict verdict = checkVolume(browser.store(), services, disc, scanned, nullptr);
        if (verdict.notice) {
            showNotice(browser.box(), *verdict.notice);
            return true;
        }
        image = verdict.path.value_or(image);
    }
    if (!services.fileSystem.isFile(image)) {
        showNotice(browser.box(), "光盘映像“" + image + "”不存在，请检查！");
        return true;
    }
    const auto taken = takeOutOfImage(image, *inside);
    if (!taken) {
        app::ShowMsg(browser.box(), "打开指定文件时出错！", taken.error(), "frmMain-listVDir_DblClick");
        return true;
    }
    if (auto opened = services.opener.open(*taken, std::string(platform::folderPartOf(*taken))); !opened)
        app::ShowMsg(browser.box(), "打开指定文件时出错！", opened.error(), "frmMain-listVDir_DblClick");
    return true;
}

// Takes the member out of its archive and opens it in the private folder.
void openMember(platform::IMessageBox& box, FileOpening& services, const MemberLocation& member)
{
    const auto folder = openedFilesFolder();
    if (!folder) {
        app::ShowMsg(box, "打开指定文件时出错！", folder.error(), "frmMain-listVDir_DblClick");
        return;
    }
    const auto extracted = takeOutMember(member, *folder);
    if (!extracted) {
        showNotice(box, extracted.error().description);
        return;
    }
    if (auto opened = services.opener.open(*extracted, *folder + platform::kPathSeparator); !opened)
        app::ShowMsg(box, "打开指定文件时出错！", opened.error(), "frmMain-listVDir_DblClick");
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
        // Rows listed from the tree carry no catalog name; they come from the current catalog.
        const std::string disc = row.catalog.empty() ? browser.currentCatalogName() : row.catalog;
        if (openFromImage(browser, services, disc, path))
            return;

        // A file at the place the catalog says opens, whatever the record of its volume says now: a
        // volume reformatted, resized or copied elsewhere still holds it. An optical drive is asked
        // for a readable disc first, as it always was.
        const platform::Drive* drive = services.drives.opticalDriveOf(path);
        const bool readable
            = drive == nullptr || catalog::ifMediaValided(services.drivesProbe, browser.box(), drive->root);
        if (!readable || !services.fileSystem.isFile(path)) {
            // Not there: the record may know where its volume is mounted now, or which disc to ask for.
            const VolumeVerdict verdict = checkVolume(browser.store(), services, disc, path, drive);
            if (verdict.notice) {
                showNotice(browser.box(), *verdict.notice);
                return;
            }
            if (verdict.path) {
                path = *verdict.path;
            } else if (!readable) {
                showNotice(browser.box(), "指定文件在光盘上，请放入名为 " + disc + " 的光盘！");
                return;
            }
        }
        const std::string_view folderPart = platform::folderPartOf(path);
        const std::string workingFolder
            = folderPart.empty() ? services.programFolder + platform::kPathSeparator : std::string(folderPart);
        if (!services.fileSystem.isFile(path)) {
            if (const auto member = memberLocation(services.fileSystem, path)) {
                openMember(browser.box(), services, *member);
                return;
            }
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
