#pragma once

#include <string>
#include <vector>

#include <QString>

#include "fakes/fakedesktopopener.h"
#include "fakes/fakedrives.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "fakes/faultyfilesystem.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "ui/folderpicker.h"
#include "ui/programcontext.h"

namespace mellowby::tests {

// Answers the folder dialog from a script and records its titles.
class FakeFolderPicker final : public ui::IFolderPicker {
public:
    QString pickFolder(QWidget*, const QString& title) override
    {
        titles.push_back(title);
        return answer;
    }
    QString answer;
    std::vector<QString> titles;
};

// The windows' context over a program folder: the real file system (behind a wrapper that can
// inject faults) and scripted boxes, drives, folder dialog and desktop.
class FakeProgram {
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
    fakes::FakeDrives drives;
    fakes::FakeVolumes volumes;
    fakes::FakeMessageBox box;
    fakes::FakeDesktopOpener opener;
    FakeFolderPicker picker;
    ui::ProgramContext context;
};

} // namespace mellowby::tests
