#pragma once

#include "catalogdb/databaseschema.h"
#include "catalogdb/databasestate.h"
#include "catalogdb/digestbytes.h"
#include "catalogdb/entryrow.h"
#include "catalogdb/foldertrail.h"
#include "catalogdb/streamhash.h"

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mellowby::platform {
class IFileSystem;
class IReadableFile;
} // namespace mellowby::platform

namespace mellowby::catalogdb {

class BoundFile;
class SqliteConnection;
class SqliteStatement;
struct ScanRecord;

// The digest of a file's contents as a scan stored it: the algorithm's name ("xxh128") and its
// bytes in the order its tool prints them.
struct StoredDigest {
    std::string algorithm;
    DigestBytes bytes;
};

// What the database holds of one File element.
struct FileRowFacts {
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> modifiedNs;
    // Only from a reader opened with digests: where the file lies below the Disk element, its
    // folders' names and its own joined by "/", each as the file system gave it; and its digest,
    // when the scan made one.
    std::string path;
    std::optional<StoredDigest> digest;
    std::int64_t entry = 0; // its row (entries.id)
    schema::Kind kind = schema::Kind::File;
};

// The catalog row.
struct CatalogRecord {
    std::int64_t schemaVersion = 0;
    std::uint64_t catalogSize = 0;
    Hash128 catalogHash {};
    std::int64_t entryCount = 0;
    Hash128 entriesHash {};
    // From version 3 on (schema::kMembersVersion); none and empty before.
    std::int64_t archiveCount = 0;
    Hash128 archivesHash {};
    std::int64_t memberCount = 0;
    Hash128 membersHash {};
    // From version 3 on (schema::kDigestsCheckedVersion).
    std::int64_t digestCount = 0;
    Hash128 digestsHash {};
};

// What a scan again of a catalog needs of its database to keep every digest as it is, once the
// entries it wrote turn out to be those the catalog row hashed: that row, the digests checked whole
// against it, their algorithm (empty without any), and the database file itself to copy them from.
struct DigestsToKeep {
    CatalogRecord catalog;
    std::string algorithm;
    std::shared_ptr<const platform::IReadableFile> file;
};

// Reads a catalog's database alongside the catalog file, never trusting it blindly: what can be
// told before the catalog is read is checked at open(), the rest at finish(), once the catalog
// file's hash is known and every row has been read and hashed. Facts handed out before finish()
// count only if finish() says the database belongs.
class DatabaseReader {
public:
    // The database at path, opened for reading and checked: there, readable, a database of this
    // program of a version it reads, whole (no page cut off), with its catalog row, and written
    // with a catalog file of catalogSize bytes. Else why it is not to be used. With digests, each
    // file comes with its path and its digest.
    static std::expected<std::unique_ptr<DatabaseReader>, DatabaseState> open(
        platform::IFileSystem& fileSystem, const std::string& path, std::uint64_t catalogSize, bool digests = false);
    ~DatabaseReader();
    DatabaseReader(const DatabaseReader&) = delete;
    DatabaseReader& operator=(const DatabaseReader&) = delete;

    const CatalogRecord& catalog() const { return m_catalog; }
    // The scan the catalog row records; nothing when it cannot be read.
    std::optional<ScanRecord> scan();

    // The facts of the next File element, the rows of the folders before it passed over; nothing
    // once there is none left or the database failed.
    std::optional<FileRowFacts> nextFile();
    // The same for a database read on its own rather than alongside its catalog: the end, when it
    // comes, asked for no File element.
    std::optional<FileRowFacts> nextFileAlone();
    // Reads the rows left and says whether the database belongs to the catalog file whose bytes
    // hash to catalogHash, and, when any were asked for, whose File elements were each asked for
    // once.
    DatabaseState finish(const Hash128& catalogHash);

    // The entries of the files listed as archives, ascending; none before version 3, or when the
    // table cannot be read (membersWhole() then says so).
    std::vector<std::int64_t> archiveEntries();
    // Whether the archives and their members are as the scan wrote them: their rows agree with the
    // counts and hashes of the catalog row, and each archive's members follow one another in the
    // order of the archives. Read whole to tell; true for a database of a version without them.
    // Ask only once finish() said the database belongs: members of a damaged listing are left
    // unused, and the rest of the database with them is not.
    bool membersWhole();
    // The archives in the order of their entries, each followed by its members in the order of
    // their rows; the texts are valid during the call. Only after membersWhole() said true.
    void readMembers(
        const std::function<void(const ArchiveRow&)>& onArchive, const std::function<void(const MemberRow&)>& onMember);

    // Instead of finish(): the digests alone, checked whole against the catalog row, for a database
    // that belongs to the catalog file whose bytes hash to catalogHash by that row. The entries are
    // left unread: they count only for a scan that writes the same entries again, whose own hash
    // then stands for theirs. The reader is spent.
    std::expected<DigestsToKeep, DatabaseState> digestsToKeep(const Hash128& catalogHash);

private:
    // Whether the digests' rows are those the scan wrote (always for a database that keeps no
    // record of them); part of finish().
    bool digestsWhole();
    // With digests: hashes the digests' rows before entry's and says whether the next is its own.
    // Both tables are read in the order of their entries, side by side, so that the digests are
    // read once, for the files and for their check alike.
    bool digestOf(std::int64_t entry);
    void takeDigestRow();
    void stepDigests();
    DatabaseReader();
    // Runs through archives and members, checking their order; false on any failure.
    bool walkMembers(
        const std::function<void(const ArchiveRow&)>& onArchive, const std::function<void(const MemberRow&)>& onMember);
    // The next row, hashed; false at the end or on a failure (m_failure says which).
    bool nextRow();
    DatabaseState failureState() const;

    std::unique_ptr<platform::IReadableFile> m_readable;
    std::unique_ptr<BoundFile> m_file;
    std::unique_ptr<SqliteConnection> m_connection;
    std::unique_ptr<SqliteStatement> m_rows;
    std::unique_ptr<RowsHash> m_hash;
    EntryRow m_row; // the last row read; its name lasts until the next
    CatalogRecord m_catalog;
    std::int64_t m_rowCount = 0;
    std::int64_t m_fileRows = 0;
    std::int64_t m_filesAsked = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_outOfOrder = false;
    bool m_digests = false;
    // With digests: the folders the last row lies in, for the paths of the files.
    FolderTrail m_trail;
    // With digests, from version 2 on: the digests' rows, the next one waiting, and whether it is
    // the last entry row's; the rows passed over, counted and hashed for digestsWhole().
    std::unique_ptr<SqliteStatement> m_digestRows;
    bool m_digestWaiting = false;
    std::int64_t m_digestEntry = 0; // the entry of the one waiting
    bool m_rowDigest = false;
    std::unique_ptr<RowsHash> m_digestHash;
    std::int64_t m_digestCount = 0;
    std::string m_digestAlgorithm; // of the first digest row
};

// Whether the database at databasePath belongs to the catalog file at catalogPath, read whole to
// tell: for a catalog that has no names index to say so.
DatabaseState checkDatabase(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath);

// What a catalog's database says of itself at a glance, before it is read whole and checked, so
// only to prepare for what the reading will give: the algorithm of its digests (empty without).
struct DatabaseGlance {
    std::string algorithm;
};
std::optional<DatabaseGlance> glanceAtDatabase(platform::IFileSystem& fileSystem, const std::string& databasePath);

// A catalog's database opened to read its files with their paths and digests, and the hash of
// the catalog file to hand to finish(), which alone tells whether what was read belongs.
struct DigestReading {
    std::unique_ptr<DatabaseReader> reader;
    Hash128 catalogHash {};
};
std::expected<DigestReading, DatabaseState> openForDigests(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath);

// Of the database at databasePath that belongs to the catalog file at catalogPath (by its catalog
// row), of a version that records its digests, of at most mostEntries entries; else why not
// (Unchecked for an older version or more entries).
std::expected<DigestsToKeep, DatabaseState> readDigestsToKeep(platform::IFileSystem& fileSystem,
    const std::string& databasePath, const std::string& catalogPath, std::int64_t mostEntries);

} // namespace mellowby::catalogdb
