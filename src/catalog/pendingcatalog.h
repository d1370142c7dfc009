#pragma once

#include <array>
#include <expected>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalogfilenames.h"
#include "platform/error.h"

namespace mellowby::platform {
class IFileSystem;
class IReplacement;
} // namespace mellowby::platform

namespace mellowby::catalog {

class CatalogStore;
struct VolumeRecord;

// Where a committed catalog lies.
struct CatalogPaths {
    std::string xmlPath;
    std::string twinPath;
    std::string databasePath; // empty when the scan wrote none
};

// Something kept outside the Data folder for a new catalog that records the version of the
// catalog file, and so can be finished only once the catalog proper is in place: the names index
// in the user's cache. It cannot fail the commit; what it cannot finish is made again when it is
// next needed.
class ICommitFollower {
public:
    virtual ~ICommitFollower() = default;
    virtual void catalogInPlace(const CatalogPaths& paths) = 0;
};

// A new catalog being written: the catalog proper and its companions go to temporary names beside
// their final ones and take the place of the catalog of that name only at commit(), in the one
// order that never shows the catalog without them. Dropped before, it leaves nothing behind and
// the old catalog as it was.
class PendingCatalog {
public:
    ~PendingCatalog();
    PendingCatalog(PendingCatalog&&) noexcept;
    PendingCatalog& operator=(PendingCatalog&&) noexcept;
    PendingCatalog(const PendingCatalog&) = delete;
    PendingCatalog& operator=(const PendingCatalog&) = delete;

    // The names of the catalog's files, by the rule of the store, once for the whole scan.
    const CatalogFileNames& fileNames() const { return m_names; }

    platform::IReplacement& catalog() { return *m_catalog.replacement; }
    // The index twin, begun with the catalog.
    platform::IReplacement& twin() { return *companion(Companion::Twin).replacement; }

    // Starts writing a companion, to be committed with the catalog. A companion not written is
    // removed at the commit: the one of the catalog replaced told of another scan.
    std::expected<platform::IReplacement*, platform::Error> beginCompanion(Companion which);
    // Writes the record of the volume the catalog is scanned from.
    std::expected<void, platform::Error> recordVolume(const VolumeRecord& record);

    // Has follower told once the catalog is in place; it is dropped, unfinished, if the commit
    // fails or never comes.
    void followWith(std::unique_ptr<ICommitFollower> follower);

    // Moves the companions, in their order, then the catalog proper into place: the catalog
    // appears last, so it is never found without them. The old companions are set aside first
    // and put back if anything cannot follow, so a failure leaves the old catalog as it was, with
    // its own companions. An old catalog whose names differ only in letter case is replaced, not
    // kept beside the new one. The followers are told last. All of it holds the Data folder, so
    // that two catalogs of one name committed at once never leave the files of one beside the
    // other's: the one committed last is there whole.
    std::expected<CatalogPaths, platform::Error> commit();

private:
    friend class CatalogStore;
    PendingCatalog() = default;

    struct PendingFile {
        std::string path; // where it goes
        std::string oldPath; // the one it replaces, as it lies on disk now
        std::unique_ptr<platform::IReplacement> replacement; // none when nothing is written
    };

    PendingFile& companion(Companion which) { return m_companions[std::to_underlying(which)]; }
    std::expected<void, platform::Error> finishAll();
    std::expected<void, platform::Error> moveIntoPlace();
    void removeOldInOtherCase();
    static void removeIfOtherCase(platform::IFileSystem& fileSystem, const PendingFile& file);

    platform::IFileSystem* m_fileSystem = nullptr;
    std::string m_folder;
    CatalogFileNames m_names;
    PendingFile m_catalog;
    std::array<PendingFile, std::to_underlying(Companion::Count)> m_companions;
    std::vector<std::unique_ptr<ICommitFollower>> m_followers;
};

} // namespace mellowby::catalog
