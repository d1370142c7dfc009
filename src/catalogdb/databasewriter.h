#pragma once

#include "catalogdb/databaseschema.h"
#include "catalogdb/streamhash.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {
class IReplacement;
class IReadableFile;
} // namespace mellowby::platform

namespace mellowby::catalogdb {

class BoundFile;
class SqliteConnection;
class SqliteStatement;
class RowsHash;
struct ArchiveRow;
struct MemberRow;

// What a scan knows of one entry it writes to the catalog.
struct EntryFacts {
    std::string_view name; // as the file system gave it
    schema::Kind kind = schema::Kind::Unknown;
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> modifiedNs;
    std::optional<std::int64_t> bornNs;
    schema::DateFrom dateFrom = schema::DateFrom::None;
    bool sizeWritten = false; // a File element's size text was written (not left empty)
};

// The scan that wrote the catalog, as the catalog row records it.
struct ScanRecord {
    std::string scannedPath;
    std::int64_t scanTimeNs = 0;
    bool filterOn = false; // ifUseOption
    bool filterInclude = false; // ifYesFile
    std::string includeTypes; // YesFileStr
    std::string excludeTypes; // NoFileStr
};

// The entries written so far: their number and the hash of their rows, as the catalog row will
// have them.
struct EntriesWritten {
    std::int64_t count = 0;
    Hash128 hash {};
};

// Why the database could not be written.
struct DatabaseWriteFailed {
    platform::Error error;
};

// Writes the database of a catalog into a replacement, as the catalog's entries are written: one
// row per Disk, Directory and File element, in document order, all in one transaction, and the
// catalog row last, once the catalog file's size and hash are known. Every failure throws
// DatabaseWriteFailed; the replacement is then to be dropped.
class DatabaseWriter {
public:
    explicit DatabaseWriter(platform::IReplacement& file);
    ~DatabaseWriter();
    DatabaseWriter(const DatabaseWriter&) = delete;
    DatabaseWriter& operator=(const DatabaseWriter&) = delete;

    void beginDisk(std::string_view title);
    void openFolder(const EntryFacts& folder);
    void closeFolder();
    void addFile(const EntryFacts& file);
    // The digest of the contents of the file written as entry; algorithm by its name ("xxh128").
    void addDigest(std::int64_t entry, std::string_view algorithm, std::string_view digest);
    // Every digest of the database in earlier, as its rows are, in place of any addDigest(): for
    // entries that are the same, row for row, as those it has digests for. count and hash are
    // its catalog row's for them, checked already. Copied before the entries are all written, they
    // are dropped again (dropCopiedDigests()) when those turn out otherwise.
    void copyDigests(std::shared_ptr<const platform::IReadableFile> earlier, std::int64_t count, const Hash128& hash);
    void dropCopiedDigests();
    EntriesWritten entriesWritten() const;
    // A file written as an entry that is an archive, listed. Its members follow at once, each
    // given the number nextMember() said (row.id is set here).
    void addArchive(const ArchiveRow& archive);
    std::int64_t nextMember() const { return m_memberCount; }
    void addMember(MemberRow member);
    // Writes the catalog row and commits; the replacement is then ready to be committed.
    void finish(const ScanRecord& scan, std::uint64_t catalogSize, const Hash128& catalogHash);

private:
    // Runs what SQLite does, turning its failures into DatabaseWriteFailed.
    template <typename Action> void guarded(const Action& action);
    void insert(schema::Kind kind, const EntryFacts& facts, bool isFile);
    void insertCatalogRow(const ScanRecord& scan, std::uint64_t catalogSize, const Hash128& catalogHash);
    // Writes the digests waiting with statement: one of many rows (as many as wait), or of one.
    void writeDigests(SqliteStatement& statement);

    std::unique_ptr<BoundFile> m_file;
    // The database the digests were copied from, attached while the connection lasts.
    std::shared_ptr<const platform::IReadableFile> m_earlier;
    std::unique_ptr<BoundFile> m_earlierFile;
    std::unique_ptr<SqliteConnection> m_connection;
    std::unique_ptr<SqliteStatement> m_insert;
    std::unique_ptr<SqliteStatement> m_insertDigest;
    std::unique_ptr<SqliteStatement> m_insertDigests; // many at once
    std::unique_ptr<SqliteStatement> m_insertArchive;
    std::unique_ptr<SqliteStatement> m_insertMember;
    std::unique_ptr<RowsHash> m_rows;
    std::unique_ptr<RowsHash> m_archiveRows;
    std::unique_ptr<RowsHash> m_memberRows;
    std::int64_t m_count = 0;
    std::int64_t m_archiveCount = 0;
    std::int64_t m_memberCount = 0;
    std::vector<std::int64_t> m_open; // the folders the next entry lies in, the Disk first
    // The digests' rows hashed as they come, while they come in the order of their entries (as
    // those kept from an earlier scan do); else they are read back in that order to be hashed.
    std::unique_ptr<RowsHash> m_digestRows;
    // The digests not written yet, their texts one after another in m_pendingBytes.
    struct PendingDigest {
        std::int64_t entry = 0;
        std::size_t algorithmSize = 0;
        std::size_t digestSize = 0;
    };
    std::vector<PendingDigest> m_pendingDigests;
    std::string m_pendingBytes;
    std::int64_t m_digestCount = 0;
    std::int64_t m_lastDigest = -1;
    bool m_digestsInOrder = true;
    std::optional<Hash128> m_copiedDigestsHash;
};

} // namespace mellowby::catalogdb
