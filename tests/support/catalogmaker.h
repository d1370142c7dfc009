#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakedirectorylister.h"
#include "fakes/fakemessagebox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/dates.h"

namespace mellowby::tests {

// Writes real catalog pairs into a Data folder (made when missing) through the program's own
// writer, from trees described in memory: what the tests and the benchmarks catalogue.
// Header-only, so that only the programs of layers above the scan need it.
class CatalogMaker {
public:
    explicit CatalogMaker(std::filesystem::path dataDir)
        : m_dataDir(std::move(dataDir))
    {
        std::filesystem::create_directories(m_dataDir);
    }

    // A directory of the tree to scan, by its path below the scanned root ("" is the root).
    void directory(const std::string& relative, std::vector<platform::DirEntry> entries)
    {
        m_lister.addDirectory(relative.empty() ? m_root : m_root + "/" + relative, std::move(entries));
    }
    static platform::DirEntry file(std::string name, std::uint64_t size = 1, std::int64_t created = kMarch15)
    {
        return fakes::FakeDirectoryLister::file(std::move(name), size, created);
    }
    static platform::DirEntry dir(std::string name, std::int64_t created = kMarch15)
    {
        return fakes::FakeDirectoryLister::directory(std::move(name), created);
    }

    // The folder scanned, /media/cdrom unless set; the directories described after it lie below it.
    void setRoot(std::string root) { m_root = std::move(root); }

    // Scans the tree described so far into the catalog `name`, replacing one of that name; with
    // volumes, the catalog records the volume of its root; with indexes, the scan keeps its names
    // index.
    bool write(
        const std::string& name, platform::IVolumes* volumes = nullptr, const names::NamesIndexCache* indexes = nullptr)
    {
        fakes::FakeMessageBox box;
        box.queueAnswer(platform::MessageAnswer::Yes);
        const app::Settings settings;
        platform::LinuxFileSystem fileSystem;
        const catalog::DateFormatter dates("zh_CN");
        const catalog::CatalogStore store(m_dataDir.string(), fileSystem);
        scan::ScanContext context { store, settings, m_lister, box, dates, nullptr, indexes, volumes };
        return scan::genXml(context, m_root, name).has_value();
    }

    // Starts a new tree.
    void reset() { m_lister = fakes::FakeDirectoryLister(); }

private:
    std::filesystem::path m_dataDir;
    std::string m_root = "/media/cdrom";
    fakes::FakeDirectoryLister m_lister;
};

} // namespace mellowby::tests
