#pragma once

#include "app/programfolder.h"
#include "app/settings.h"
#include "catalog/drivelist.h"

namespace mellowby::platform {
class IDesktopOpener;
class IDirectoryLister;
class IDrives;
class IFileSystem;
class IMessageBox;
class IVolumes;
} // namespace mellowby::platform

namespace mellowby::ui {

class IFolderPicker;

// What the windows share for the whole run: what start-up established (the program folder, the
// settings, the drives) and the operating-system services, real in the program and scripted in
// tests. Everything referred to outlives the windows; the program folder reads its names through
// fileSystem.
struct ProgramContext {
    app::ProgramFolder folder;
    app::Settings settings;
    catalog::DriveList drives;
    platform::IDirectoryLister& lister;
    platform::IFileSystem& fileSystem;
    platform::IDrives& drivesProbe;
    platform::IVolumes& volumes;
    platform::IMessageBox& box;
    platform::IDesktopOpener& opener;
    IFolderPicker& folderPicker;
};

} // namespace mellowby::ui
