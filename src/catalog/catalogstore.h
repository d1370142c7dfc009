#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalogfilenames.h"
#include "catalog/pendingcatalog.h"
#include "platform/error.h"

namespace mellowby::platform {
class IFileSystem;
class IReplacement;
} // namespace mellowby::platform

namespace mellowby::catalog {

class CatalogDocument;
struct VolumeRecord;

// One catalog of the Data folder.
struct StoredCatalog {
    std::string fileName; // as on disk: "Photos 2004.xml"
    std::string name; // catalogNameOfFile: "Photos 2004"

    bool operator==(const StoredCatalog&) const = default;
};

// The Data folder: the one owner of which catalogs it holds and in which order, of the paths into
// it (by the rule of catalogfilenames.h), and of writing, deleting and tidying its files, the
// companions of the catalogs included. Names inside it are found without regard to letter case.
// Names that start with "." are catalogs like any other.
class CatalogStore {
public:
    CatalogStore(std::string folder, platform::IFileSystem& fileSystem);

    const std::string& folder() const { return m_folder; }
    platform::IFileSystem& fileSystem() const { return m_fileSystem; }

    // Every catalog of the folder (the entries that are not folders and whose names end in
    // ".xml" in any letter case) in the one order every list of catalogs shows: by the key of its
    // name, a file whose name is that name (UTF-8) before one in code page 936, then byte for
    // byte. No folder is an empty list; a folder that cannot be read is an error.
    std::expected<std::vector<StoredCatalog>, platform::Error> catalogs() const;

    // The paths of the catalog proper and the index twin of a catalog name (as typed, as a Disk
    // title reads, or a key), as the files exist on disk: the file named by the name itself, else
    // by its code page 936 bytes, else the first whose catalogNameOfFile has the name's key. An
    // error for a name that fails catalogNameProblem.
    std::expected<std::string, platform::Error> catalogPath(std::string_view name) const;
    std::expected<std::string, platform::Error> twinPath(std::string_view name) const;
    // The same for any companion of the catalog.
    std::expected<std::string, platform::Error> companionPath(std::string_view name, Companion which) const;
    // The companion of the catalog proper at catalogPath, spelt as that file is, without looking
    // for it in other spellings: a path to try first.
    static std::string companionBeside(const std::string& catalogPath, Companion which);

    // Whether the catalog proper of name exists (any entry but a folder).
    bool exists(std::string_view name) const;

    // The catalog proper or the index twin of name, read through the file system. A missing,
    // unreadable or refused file gives a document without a document element and says why.
    CatalogDocument loadCatalog(std::string_view name) const;
    CatalogDocument loadTwin(std::string_view name) const;

    // The record of the volume that the catalog of name was scanned from; nothing for a catalog
    // without one, and for a record that cannot be read or is damaged, which is no reason to
    // treat the catalog differently from one without.
    std::optional<VolumeRecord> volumeRecord(std::string_view name) const;

    // Moves the catalog proper of name into the trash; its companions (the twin, the volume
    // record, the database) stay, so that putting the file back brings the catalog back whole.
    std::expected<void, platform::Error> moveToTrash(std::string_view name) const;

    // Starts writing the catalog of a typed name (tmp1000 for an empty one), with its twin.
    std::expected<PendingCatalog, platform::Error> beginCatalog(std::string_view typedName) const;

    // Removes what scans whose process ended before they finished left in the folder.
    void removeLeftovers() const;

private:
    std::string resolve(std::string_view fileName) const;
    CatalogDocument load(const std::expected<std::string, platform::Error>& path) const;

    std::string m_folder;
    platform::IFileSystem& m_fileSystem;
};

} // namespace mellowby::catalog
