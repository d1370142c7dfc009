#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace mellowby::platform {
class IDesktopOpener;
class IDrives;
class IFileSystem;
class IVolumes;
} // namespace mellowby::platform

namespace mellowby::browse {
class CatalogBrowser;
}

namespace mellowby::catalog {
struct DriveList;
}

namespace mellowby::search {

class FileList;

// The services opening a listed file needs.
struct FileOpening {
    const catalog::DriveList& drives;
    platform::IDrives& drivesProbe;
    platform::IVolumes& volumes;
    platform::IFileSystem& fileSystem;
    platform::IDesktopOpener& opener;
    std::string programFolder;
};

// A double-click on the list: opens the selected row's file with the desktop's program for it, or
// asks for the disc when the file lives on an optical drive without a readable disc. A file that is
// where the catalog says opens there; one that is not is looked for, by a catalog that knows its
// volume, wherever that volume is mounted now, and the box says which disc it wants when another
// one is in its place. A file of a catalogued disc image is taken out of the image file into a
// private folder and opened from there; a file inside an archive (its location runs through the
// archive) is taken out of the archive on its own, into a folder only the user can enter, and
// opened there.
void listVDir_DblClick(browse::CatalogBrowser& browser, const FileList& list, std::optional<std::size_t> selectedRow,
    FileOpening& services);

} // namespace mellowby::search
