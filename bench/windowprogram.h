#pragma once

// The windows' context as the program builds it, with the real services of the platform and
// the desktop, over the program folder the benchmark made; only its boxes answer by themselves.

#include <string>

#include "fakes/unattendedbox.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxdrives.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/linux/linuxvolumes.h"
#include "ui/programcontext.h"
#include "ui/qtdesktopopener.h"
#include "ui/selfolder.h"

namespace mellowby::bench {

class WindowProgram {
public:
    explicit WindowProgram(const std::string& programFolder)
        : context { app::ProgramFolder(programFolder, fileSystem), {}, {}, lister, fileSystem, drives, volumes, box,
            opener, picker }
    {
    }
    WindowProgram(const WindowProgram&) = delete;
    WindowProgram& operator=(const WindowProgram&) = delete;

    platform::LinuxDirectoryLister lister;
    platform::LinuxFileSystem fileSystem;
    platform::LinuxDrives drives;
    platform::LinuxVolumes volumes;
    fakes::UnattendedBox box;
    ui::QtDesktopOpener opener;
    ui::QtFolderPicker picker;
    ui::ProgramContext context;
};

} // namespace mellowby::bench
