#pragma once

#include "names/namesindexcache.h"
#include "support/temporaryfolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QString>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "catalog/drivelist.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakedirectorylister.h"
#include "fakes/fakedrives.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "platform/linux/linuxfilesystem.h"
#include "ui/folderpicker.h"
#include "ui/programcontext.h"

namespace mellowby::tests {

// Answers the folder dialog from a script and records what it was asked.
class ScriptedFolderPicker final : public ui::IFolderPicker {
public:
    QString pickFolder(QWidget* owner, const QString& title) override
    {
        owners.push_back(owner);
        titles.push_back(title);
        return answer;
    }

    QString answer;
    std::vector<QWidget*> owners;
    std::vector<QString> titles;
};

// A program folder with an empty Data folder, the generation dialog's context over it (the real
// file system; scripted boxes, drives and folder dialog; the lister the test chooses) and the
// main window's catalog browser.
class AddNewProgram {
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
    std::vector<std::string> dataFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder / "Data"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TemporaryFolder folder;
    platform::LinuxFileSystem fileSystem;
    fakes::FakeDrives drives;
    fakes::FakeVolumes volumes;
    fakes::FakeMessageBox box;
    fakes::FakeDesktopOpener opener;
    ScriptedFolderPicker picker;
    ui::ProgramContext context;
    catalog::CatalogStore store;
    names::NamesIndexCache indexes;
    browse::CatalogBrowser browser;
};

// An in-memory tree whose listing of one directory waits until the test lets it go (or ten
// seconds have passed, so that a failing test cannot hang).
class GatedLister final : public fakes::PathLister {
public:
    fakes::FakeDirectoryLister tree;

    void holdAt(std::string path) { m_holdAt = std::move(path); }
    bool held() const { return m_held; }
    void release()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }

    std::expected<void, platform::Error> openPath(const std::string& path) override { return tree.openPath(path); }
    std::expected<void, platform::Error> listPath(
        const std::string& path, std::vector<platform::DirEntry>& out) override
    {
        if (path == m_holdAt) {
            m_held = true;
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_released; });
        }
        return tree.listPath(path, out);
    }

private:
    std::string m_holdAt;
    std::atomic<bool> m_held = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
};

// A tree too big to finish during a test: a file and ten directories in every directory down to
// six levels, and listing one takes a millisecond, so a walk of it runs until it is stopped.
class EndlessLister final : public fakes::PathLister {
public:
    std::expected<void, platform::Error> listPath(
        const std::string& path, std::vector<platform::DirEntry>& out) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        out.push_back(fakes::FakeDirectoryLister::file("f.txt", 1, 1079308800));
        if (std::count(path.begin(), path.end(), '/') < 6) {
            for (int i = 0; i < 10; ++i)
                out.push_back(fakes::FakeDirectoryLister::directory("d" + std::to_string(i), 1079308800));
        }
        return {};
    }
};

} // namespace mellowby::tests
