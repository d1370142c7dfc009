#pragma once

#include "scan/scanner.h"
#include "support/temporaryfolder.h"

#include <filesystem>
#include <string>
#include <vector>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakedirectorylister.h"
#include "fakes/fakemessagebox.h"
#include "platform/directorylister.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::tests {

// A program folder whose Data folder holds catalogs generated from in-memory directory trees, as
// the generation dialog writes them.
class CatalogFolder {
public:
    CatalogFolder() { std::filesystem::create_directory(dataDir()); }

    std::string programFolder() const { return m_folder.path(); }
    std::string dataDir() const { return m_folder / "Data"; }

    // Directory path of the in-memory tree, with its entries (FakeDirectoryLister::file/directory).
    void addDirectory(const std::string& path, std::vector<platform::DirEntry> entries)
    {
        m_lister.addDirectory(path, std::move(entries));
    }

    // Writes the catalog pair name.xml/name.idx of the tree below root; false when it failed.
    bool generate(const std::string& root, const std::string& name)
    {
        const catalog::CatalogStore store(dataDir(), m_fileSystem);
        scan::ScanContext context { store, m_settings, m_lister, m_box, m_dates };
        return scan::genXml(context, root, name).has_value();
    }

private:
    TemporaryFolder m_folder;
    app::Settings m_settings;
    fakes::FakeDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
};

inline platform::DirEntry file(std::string name, std::uint64_t size = 1024)
{
    return fakes::FakeDirectoryLister::file(std::move(name), size, 1079308800);
}

inline platform::DirEntry folder(std::string name)
{
    return fakes::FakeDirectoryLister::directory(std::move(name), 1079308800);
}

} // namespace mellowby::tests
