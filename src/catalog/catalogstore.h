#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {
class IFileSystem;
class IReplacement;
} // namespace mellowby::platform

namespace mellowby::catalog {

class CatalogDocument;
struct VolumeRecord;

// The name used when the user gives none.
inline constexpr std::string_view kUnnamedCatalog = "tmp1000";

// The pair of files a typed catalog name gives, the record of its volume beside them, and the
// title its Disk element gets: the name with ".xml", ".idx" and ".vol" (a name that ends in ".xml"
// in any case is the catalog's file name as it stands), tmp1000 for an empty name. The record's
// name never ends in ".xml", so no list of catalogs takes it for one.
struct CatalogFileNames {
    std::string xmlName;
    std::string idxName;
    std::string volumeName;
    std::string diskTitle;
};
CatalogFileNames catalogFileNames(std::string_view typedName);

// The name a catalog gets: the typed one, or tmp1000 when none was typed, so that the catalog
// has a title by which it can be listed, searched and deleted.
std::string effectiveCatalogName(std::string_view typedName);

// The key of a catalog: its name, or its file's name, without a final ".xml" (any case), so that a
// name typed with that ending and the stem of its file are the same catalog.
std::string catalogKeyOf(std::string_view name);

// The name of the catalog whose catalog proper is the file fileName of the Data folder: the file's
// name without ".xml", read as UTF-8 when it is, else as code page 936 (a catalog unpacked from an
// archive made on Chinese Windows keeps its name's bytes). It is the Disk title the catalog's
// maker gave it, by which the tree, the lists and the commands know it.
std::string catalogNameOfFile(std::string_view fileName);

// What two catalog names are the same catalog by: equal keys. Letter case is ignored, and so is
// the difference between the characters that code page 936 and strict GB2312 read from the same
// two bytes (A1A4 "·" and "・", A1AA "—" and "―"): earlier versions of this program wrote the
// second of each pair as those bytes, which are now read as the first, so such a catalog's Disk
// title no longer spells its file's name.
std::string catalogNameKey(std::string_view name);

// Why a name cannot name a catalog of the Data folder (a path made from it would lie outside
// the folder), or nothing when it can. Every path made from a typed name or a Disk title passes
// this check.
std::optional<std::string> catalogNameProblem(std::string_view name);

// One catalog of the Data folder.
struct StoredCatalog {
    std::string fileName; // as on disk: "Photos 2004.xml"
    std::string name; // catalogNameOfFile: "Photos 2004"

    bool operator==(const StoredCatalog&) const = default;
};

// Where a committed catalog lies.
struct CatalogPaths {
    std::string xmlPath;
    std::string idxPath;
};

// A new catalog being written: its two files, and the record of its volume when it has one, go to
// temporary names beside their final ones and take the place of the catalog of that name only at
// commit(). Dropped before, it leaves nothing behind and the old catalog as it was.
class PendingCatalog {
public:
    ~PendingCatalog();
    PendingCatalog(PendingCatalog&&) noexcept;
    PendingCatalog& operator=(PendingCatalog&&) noexcept;
    PendingCatalog(const PendingCatalog&) = delete;
    PendingCatalog& operator=(const PendingCatalog&) = delete;

    platform::IReplacement& catalog() { return *m_xml; }
    platform::IReplacement& twin() { return *m_idx; }

    // Writes the record of the volume the catalog is scanned from, to be committed with it.
    // Without one, the commit removes the record of the catalog it replaces, which told of
    // another scan.
    std::expected<void, platform::Error> recordVolume(const VolumeRecord& record);

    // Moves the twin, then the volume's record, then the catalog proper into place: the catalog
    // appears last, so it is never found without its twin. The old twin and record are set aside
    // first and put back if anything cannot follow, so a failure leaves the old catalog as it was,
    // with its own record. An old catalog whose names differ only in letter case is replaced, not
    // kept beside the new one.
    std::expected<CatalogPaths, platform::Error> commit();

private:
    friend class CatalogStore;
    PendingCatalog() = default;

    platform::IFileSystem* m_fileSystem = nullptr;
    CatalogPaths m_paths;
    std::string m_volumePath;
    std::string m_oldXml; // the catalog this one replaces, as it lies on disk now
    std::string m_oldIdx;
    std::string m_oldVolume;
    std::unique_ptr<platform::IReplacement> m_xml;
    std::unique_ptr<platform::IReplacement> m_idx;
    std::unique_ptr<platform::IReplacement> m_volume; // none when no volume is recorded
};

// The Data folder: the one owner of which catalogs it holds and in which order, of the rule that
// turns names into its file names, of the paths into it, and of writing, deleting and tidying
// its files, the records of the catalogs' volumes included. Names inside it are found without
// regard to letter case. Names that start with "." are catalogs like any other.
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

    // Moves the catalog proper of name into the trash; its index twin and its volume's record
    // stay, so that putting the file back brings the catalog back whole.
    std::expected<void, platform::Error> moveToTrash(std::string_view name) const;

    // Starts writing the catalog of a typed name (tmp1000 for an empty one).
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
