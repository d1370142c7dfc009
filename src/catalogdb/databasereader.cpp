#include "catalogdb/databasereader.h"

#include "catalogdb/boundfiles.h"
#include "catalogdb/databaseschema.h"
#include "catalogdb/databasewriter.h"
#include "catalogdb/entryrow.h"
#include "catalogdb/sqlitehandles.h"

#include <cerrno>
#include <cstring>
#include <span>
#include <sqlite3.h>

#include "platform/filesystem.h"

namespace mellowby::catalogdb {

namespace {

constexpr std::string_view kCatalogRow
    = "SELECT schema_version, catalog_size, catalog_hash, entry_count, entries_hash FROM catalog";
constexpr std::string_view kMembersCounts
    = "SELECT archive_count, archives_hash, member_count, members_hash, digest_count, digests_hash FROM catalog";
constexpr std::string_view kDigestRows = "SELECT entry, algorithm, digest FROM digests ORDER BY entry";
constexpr std::string_view kArchiveRows = "SELECT entry, status, format, member_count FROM archives ORDER BY entry";
constexpr std::string_view kMemberRows
    = "SELECT id, archive, parent, kind, name, size, mtime_ns, position, path, encrypted FROM members ORDER BY id";
constexpr std::string_view kEntryRows
    = "SELECT id, parent, kind, name, size, mtime_ns, btime_ns, date_from, size_text FROM entries ORDER BY id";
constexpr std::string_view kScanRow
    = "SELECT scanned_path, scan_time_ns, filter_on, filter_include, include_types, exclude_types FROM catalog";
// The first version with the digests table.
constexpr std::int64_t kDigestsVersion = 2;

bool isFileKind(std::int64_t kind)
{
    return kind != static_cast<std::int64_t>(schema::Kind::DiscRoot)
        && kind != static_cast<std::int64_t>(schema::Kind::Folder);
}

std::optional<Hash128> hashOf(std::string_view bytes)
{
    Hash128 hash;
    if (bytes.size() != hash.size())
        return std::nullopt;
    std::memcpy(hash.data(), bytes.data(), hash.size());
    return hash;
}

// The hash of the first size bytes of a file; nothing when they cannot all be read.
std::optional<Hash128> hashOfFile(platform::IReadableFile& file, std::uint64_t size)
{
    StreamHash hash;
    std::string piece(1 << 20, '\0');
    for (std::uint64_t offset = 0; offset < size;) {
        const auto read = file.readAt(offset, std::span<char>(piece));
        if (!read || *read == 0)
            return std::nullopt;
        hash.update(std::string_view(piece).substr(0, *read));
        offset += *read;
    }
    return hash.digest();
}

// The database opened (with or without its files' digests) beside the hash of its catalog file,
// which finish() or digestsToKeep() hold against the catalog row.
std::expected<DigestReading, DatabaseState> openWithCatalogHash(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath, bool digests)
{
    auto catalog = fileSystem.openForReading(catalogPath);
    if (!catalog)
        return std::unexpected(DatabaseState::Unchecked);
    const std::uint64_t size = (*catalog)->stamp().size;
    auto reader = DatabaseReader::open(fileSystem, databasePath, size, digests);
    if (!reader)
        return std::unexpected(reader.error());
    const auto hash = hashOfFile(**catalog, size);
    if (!hash)
        return std::unexpected(DatabaseState::Unchecked);
    return DigestReading { std::move(*reader), *hash };
}

} // namespace

DatabaseReader::DatabaseReader()
    : m_hash(std::make_unique<RowsHash>())
    , m_digestHash(std::make_unique<RowsHash>())
{
}

DatabaseReader::~DatabaseReader() = default;

DatabaseState DatabaseReader::failureState() const
{
    // A file that could not be read is unreadable; anything SQLite itself refused is damage.
    return m_file && m_file->failure() ? DatabaseState::Unreadable : DatabaseState::Damaged;
}

std::expected<std::unique_ptr<DatabaseReader>, DatabaseState> DatabaseReader::open(
    platform::IFileSystem& fileSystem, const std::string& path, std::uint64_t catalogSize, bool digests)
{
    auto readable = fileSystem.openForReading(path);
    if (!readable)
        return std::unexpected(readable.error().number == ENOENT ? DatabaseState::Absent : DatabaseState::Unreadable);
    std::unique_ptr<DatabaseReader> reader(new DatabaseReader);
    reader->m_readable = std::move(*readable);
    reader->m_file = std::make_unique<BoundFile>(*reader->m_readable);
    try {
        reader->m_connection = std::make_unique<SqliteConnection>(
            reader->m_file->name(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
        SqliteConnection& connection = *reader->m_connection;
        if (connection.integer("PRAGMA application_id") != schema::kApplicationId)
            return std::unexpected(DatabaseState::UnknownVersion);
        const std::int64_t version = connection.integer("PRAGMA user_version");
        if (version < 1 || version > schema::kVersion)
            return std::unexpected(DatabaseState::UnknownVersion);
        // A file cut short, or grown, since it was written.
        const auto pages = static_cast<std::uint64_t>(connection.integer("PRAGMA page_count"));
        const auto pageSize = static_cast<std::uint64_t>(connection.integer("PRAGMA page_size"));
        if (pages * pageSize != reader->m_readable->stamp().size)
            return std::unexpected(DatabaseState::Damaged);
        SqliteStatement row(connection, kCatalogRow);
        if (!row.step())
            return std::unexpected(DatabaseState::Damaged);
        CatalogRecord& record = reader->m_catalog;
        record.schemaVersion = row.integer(0);
        record.catalogSize = static_cast<std::uint64_t>(row.integer(1));
        const auto catalogHash = hashOf(row.blob(2));
        record.entryCount = row.integer(3);
        const auto entriesHash = hashOf(row.blob(4));
        if (row.step() || record.schemaVersion != version || !catalogHash || !entriesHash)
            return std::unexpected(DatabaseState::Damaged);
        record.catalogHash = *catalogHash;
        record.entriesHash = *entriesHash;
        if (record.catalogSize != catalogSize)
            return std::unexpected(DatabaseState::OtherCatalog);
        if (version >= schema::kMembersVersion) {
            SqliteStatement counts(connection, kMembersCounts);
            if (!counts.step())
                return std::unexpected(DatabaseState::Damaged);
            record.archiveCount = counts.integer(0);
            const auto archivesHash = hashOf(counts.blob(1));
            record.memberCount = counts.integer(2);
            const auto membersHash = hashOf(counts.blob(3));
            record.digestCount = counts.integer(4);
            const auto digestsHash = hashOf(counts.blob(5));
            if (!archivesHash || !membersHash || !digestsHash)
                return std::unexpected(DatabaseState::Damaged);
            record.archivesHash = *archivesHash;
            record.membersHash = *membersHash;
            record.digestsHash = *digestsHash;
        }
        reader->m_digests = digests;
        reader->m_rows = std::make_unique<SqliteStatement>(connection, kEntryRows);
        if (digests && version >= kDigestsVersion) {
            reader->m_digestRows = std::make_unique<SqliteStatement>(connection, kDigestRows);
            reader->stepDigests();
        }
    } catch (const SqliteFailure&) {
        return std::unexpected(reader->failureState());
    }
    return reader;
}

bool DatabaseReader::nextRow()
{
    if (m_atEnd || m_failed)
        return false;
    try {
        if (!m_rows->step()) {
            m_atEnd = true;
            return false;
        }
        const SqliteStatement& row = *m_rows;
        m_row = EntryRow { row.integer(0), row.optionalInteger(1), row.integer(2), row.text(3), row.optionalInteger(4),
            row.optionalInteger(5), row.optionalInteger(6), row.optionalInteger(7), row.optionalInteger(8) };
        const EntryRow& entry = m_row;
        // Rows are numbered by their place in the catalog.
        m_outOfOrder = m_outOfOrder || entry.id != m_rowCount;
        m_hash->add(entry);
        ++m_rowCount;
        if (m_digests) {
            m_trail.follow(entry.id, entry.parent, entry.kind, entry.name);
            m_rowDigest = m_digestRows && digestOf(entry.id);
        }
        if (isFileKind(entry.kind))
            ++m_fileRows;
        return true;
    } catch (const SqliteFailure&) {
        m_failed = true;
        return false;
    }
}

bool DatabaseReader::digestOf(std::int64_t entry)
{
    while (m_digestWaiting && m_digestEntry < entry)
        takeDigestRow();
    return m_digestWaiting && m_digestEntry == entry;
}

void DatabaseReader::stepDigests()
{
    m_digestWaiting = m_digestRows->step();
    if (m_digestWaiting)
        m_digestEntry = m_digestRows->integer(0);
}

void DatabaseReader::takeDigestRow()
{
    const SqliteStatement& row = *m_digestRows;
    if (m_digestCount == 0)
        m_digestAlgorithm = row.text(1);
    m_digestHash->add(DigestRow { m_digestEntry, row.text(1), row.blob(2) });
    ++m_digestCount;
    stepDigests();
}

std::optional<ScanRecord> DatabaseReader::scan()
{
    try {
        SqliteStatement row(*m_connection, kScanRow);
        if (!row.step())
            return std::nullopt;
        return ScanRecord { std::string(row.text(0)), row.integer(1), row.integer(2) != 0, row.integer(3) != 0,
            std::string(row.text(4)), std::string(row.text(5)) };
    } catch (const SqliteFailure&) {
        return std::nullopt;
    }
}

std::optional<FileRowFacts> DatabaseReader::nextFile()
{
    ++m_filesAsked;
    while (nextRow()) {
        // The row as nextRow() read it: its columns are read once.
        const EntryRow& row = m_row;
        if (!isFileKind(row.kind))
            continue;
        FileRowFacts facts { row.size && *row.size >= 0 ? std::optional(static_cast<std::uint64_t>(*row.size))
                                                        : std::nullopt,
            row.modifiedNs, {}, {}, row.id, static_cast<schema::Kind>(row.kind) };
        if (m_digests) {
            // With room for the "/" that readers keeping the path put before it (see CatalogFile).
            facts.path.reserve(1 + m_trail.folderPath().size() + row.name.size());
            facts.path.assign(m_trail.folderPath()).append(row.name);
            if (m_rowDigest) {
                facts.digest = StoredDigest { std::string(m_digestRows->text(1)), {} };
                // Longer than any digest: not a database a scan wrote.
                if (!facts.digest->bytes.assign(m_digestRows->blob(2))) {
                    m_failed = true;
                    return std::nullopt;
                }
            }
        }
        return facts;
    }
    return std::nullopt;
}

std::optional<FileRowFacts> DatabaseReader::nextFileAlone()
{
    auto file = nextFile();
    if (!file)
        --m_filesAsked;
    return file;
}

DatabaseState DatabaseReader::finish(const Hash128& catalogHash)
{
    while (nextRow()) { }
    if (m_failed)
        return failureState();
    if (catalogHash != m_catalog.catalogHash)
        return DatabaseState::OtherCatalog;
    // The File elements of a catalog read alongside are its File rows, one for one.
    const bool paired = m_filesAsked == 0 || m_filesAsked == m_fileRows;
    const bool whole
        = !m_outOfOrder && paired && m_rowCount == m_catalog.entryCount && m_hash->digest() == m_catalog.entriesHash;
    return whole && digestsWhole() ? DatabaseState::Belongs : DatabaseState::Damaged;
}

bool DatabaseReader::digestsWhole()
{
    if (m_catalog.schemaVersion < schema::kDigestsCheckedVersion)
        return true;
    try {
        // A digest changed, gone or added would tell of rot that is not there, or hide it. Those
        // read beside the files are hashed already.
        if (!m_digestRows) {
            m_digestRows = std::make_unique<SqliteStatement>(*m_connection, kDigestRows);
            stepDigests();
        }
        while (m_digestWaiting)
            takeDigestRow();
        return m_digestCount == m_catalog.digestCount && m_digestHash->digest() == m_catalog.digestsHash;
    } catch (const SqliteFailure&) {
        return false;
    }
}

std::expected<DigestsToKeep, DatabaseState> DatabaseReader::digestsToKeep(const Hash128& catalogHash)
{
    if (catalogHash != m_catalog.catalogHash)
        return std::unexpected(DatabaseState::OtherCatalog);
    // Before it, nothing tells whether the digests are those the scan wrote.
    if (m_catalog.schemaVersion < schema::kDigestsCheckedVersion)
        return std::unexpected(DatabaseState::Unchecked);
    if (!digestsWhole())
        return std::unexpected(failureState());
    m_digestRows.reset();
    m_rows.reset();
    // The file outlives the connection reading it, which goes with the reader.
    return DigestsToKeep { m_catalog, std::move(m_digestAlgorithm), std::move(m_readable) };
}

bool DatabaseReader::walkMembers(
    const std::function<void(const ArchiveRow&)>& onArchive, const std::function<void(const MemberRow&)>& onMember)
{
    if (m_catalog.schemaVersion < schema::kMembersVersion)
        return true;
    try {
        SqliteStatement archives(*m_connection, kArchiveRows);
        SqliteStatement members(*m_connection, kMemberRows);
        bool memberWaiting = members.step();
        std::int64_t archiveCount = 0;
        std::int64_t memberCount = 0;
        while (archives.step()) {
            const ArchiveRow archive { archives.integer(0), archives.integer(1), archives.text(2),
                archives.integer(3) };
            onArchive(archive);
            ++archiveCount;
            for (std::int64_t i = 0; i < archive.memberCount; ++i) {
                if (!memberWaiting)
                    return false;
                const MemberRow member { members.integer(0), members.integer(1), members.optionalInteger(2),
                    members.integer(3), members.text(4), members.optionalInteger(5), members.optionalInteger(6),
                    members.optionalInteger(7), members.text(8), members.integer(9) != 0 };
                // An archive's members follow one another, numbered from 0 across the database.
                if (member.archive != archive.entry || member.id != memberCount)
                    return false;
                onMember(member);
                ++memberCount;
                memberWaiting = members.step();
            }
        }
        return !memberWaiting && archiveCount == m_catalog.archiveCount && memberCount == m_catalog.memberCount;
    } catch (const SqliteFailure&) {
        return false;
    }
}

std::vector<std::int64_t> DatabaseReader::archiveEntries()
{
    std::vector<std::int64_t> entries;
    if (m_catalog.schemaVersion < schema::kMembersVersion)
        return entries;
    try {
        SqliteStatement rows(*m_connection, "SELECT entry FROM archives ORDER BY entry");
        while (rows.step())
            entries.push_back(rows.integer(0));
    } catch (const SqliteFailure&) {
        entries.clear();
    }
    return entries;
}

bool DatabaseReader::membersWhole()
{
    RowsHash archives;
    RowsHash members;
    const bool walked = walkMembers(
        [&](const ArchiveRow& row) { archives.add(row); }, [&](const MemberRow& row) { members.add(row); });
    if (m_catalog.schemaVersion < schema::kMembersVersion)
        return true;
    return walked && archives.digest() == m_catalog.archivesHash && members.digest() == m_catalog.membersHash;
}

void DatabaseReader::readMembers(
    const std::function<void(const ArchiveRow&)>& onArchive, const std::function<void(const MemberRow&)>& onMember)
{
    (void)walkMembers(onArchive, onMember);
}

DatabaseState checkDatabase(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath)
{
    auto catalog = fileSystem.openForReading(catalogPath);
    if (!catalog)
        return fileSystem.isFile(databasePath) ? DatabaseState::Unchecked : DatabaseState::Absent;
    const std::uint64_t size = (*catalog)->stamp().size;
    auto reader = DatabaseReader::open(fileSystem, databasePath, size);
    if (!reader)
        return reader.error();
    const auto hash = hashOfFile(**catalog, size);
    if (!hash)
        return DatabaseState::Unchecked;
    return (*reader)->finish(*hash);
}

std::optional<DatabaseGlance> glanceAtDatabase(platform::IFileSystem& fileSystem, const std::string& databasePath)
{
    auto readable = fileSystem.openForReading(databasePath);
    if (!readable)
        return std::nullopt;
    const BoundFile file(**readable);
    try {
        SqliteConnection connection(file.name(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
        DatabaseGlance glance;
        if (connection.integer("PRAGMA user_version") >= kDigestsVersion) {
            SqliteStatement digest(connection, "SELECT algorithm FROM digests LIMIT 1");
            if (digest.step())
                glance.algorithm = digest.text(0);
        }
        return glance;
    } catch (const SqliteFailure&) {
        return std::nullopt;
    }
}

std::expected<DigestReading, DatabaseState> openForDigests(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath)
{
    return openWithCatalogHash(fileSystem, databasePath, catalogPath, true);
}

std::expected<DigestsToKeep, DatabaseState> readDigestsToKeep(platform::IFileSystem& fileSystem,
    const std::string& databasePath, const std::string& catalogPath, std::int64_t mostEntries)
{
    auto reading = openWithCatalogHash(fileSystem, databasePath, catalogPath, false);
    if (!reading)
        return std::unexpected(reading.error());
    if (reading->reader->catalog().entryCount > mostEntries)
        return std::unexpected(DatabaseState::Unchecked);
    return reading->reader->digestsToKeep(reading->catalogHash);
}

} // namespace mellowby::catalogdb
