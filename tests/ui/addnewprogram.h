#pragma once

#include "scriptedservices.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "catalog/drivelist.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"
#include "ui/programcontext.h"

namespace mellowby::tests {

// A program folder with an empty Data folder, the generation dialog's context over it (the real
// file system; scripted boxes, drives and folder dialog; the lister the test chooses) and the
// main window's catalog browser.
class AddNewProgram : public ScriptedServices {
public:
    explicit AddNewProgram(platform::IDirectoryLister& lister)
        : context { app::ProgramFolder(folder.path(), fileSystem), {}, {}, lister, fileSystem, drives, volumes, box,
            opener, picker }
        , store(folder / "Data", fileSystem)
        , indexes(store, names::userCacheFolder())
        , browser(indexes, box)
    {
        std::filesystem::create_directory(folder / "Data");
    }
    AddNewProgram(const AddNewProgram&) = delete;
    AddNewProgram& operator=(const AddNewProgram&) = delete;

    // The drives start-up would have found.
    void setDrives(std::vector<platform::Drive> found)
    {
        drives.drives = std::move(found);
        catalog::getDriveList(drives, context.drives);
    }

    std::string dataFile(const std::string& name) const { return folder / ("Data/" + name); }
    std::vector<std::string> dataFiles() const { return namesIn(folder / "Data"); }

    TemporaryFolder folder;
    platform::LinuxFileSystem fileSystem;
    ui::ProgramContext context;
    catalog::CatalogStore store;
    names::NamesIndexCache indexes;
    browse::CatalogBrowser browser;
};

} // namespace mellowby::tests
