#pragma once

#include "scriptedservices.h"

#include <string>

#include "fakes/faultyfilesystem.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "ui/programcontext.h"

namespace mellowby::tests {

// The windows' context over a program folder: the real file system (behind a wrapper that can
// inject faults) and scripted boxes, drives, folder dialog and desktop.
class FakeProgram : public ScriptedServices {
public:
    explicit FakeProgram(std::string programFolder)
        : context { app::ProgramFolder(std::move(programFolder), fileSystem), {}, {}, lister, fileSystem, drives,
            volumes, box, opener, picker }
    {
    }
    FakeProgram(const FakeProgram&) = delete;
    FakeProgram& operator=(const FakeProgram&) = delete;

    platform::LinuxDirectoryLister lister;
    platform::LinuxFileSystem realFileSystem;
    fakes::FaultyFileSystem fileSystem { realFileSystem };
    ui::ProgramContext context;
};

} // namespace mellowby::tests
