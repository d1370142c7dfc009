#include "catalogdb/databasewriter.h"

#include "catalogdb/boundfiles.h"
#include "catalogdb/entryrow.h"
#include "catalogdb/sqlitehandles.h"

#include <algorithm>
#include <sqlite3.h>

namespace mellowby::catalogdb {

namespace {

// Written once, start to end, by one writer: no journal (a failed database is dropped whole), no
// syncing of its own (the replacement is made durable with its catalog), and room for the pages
// still being filled.
constexpr std::string_view kWriterSettings = "PRAGMA page_size = 4096;"
                                             "PRAGMA journal_mode = OFF;"
                                             "PRAGMA synchronous = OFF;"
                                             "PRAGMA locking_mode = EXCLUSIVE;"
                                             "PRAGMA temp_store = MEMORY;"
                                             "PRAGMA cache_size = -16384;";

constexpr std::string_view kInsertEntry = "INSERT INTO entries VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)";
constexpr std::string_view kInsertDigest = "INSERT INTO digests VALUES (?1, ?2, ?3)";
// Digests are written this many to a statement: most of the cost of so small a row is that of
// running a statement.
constexpr std::size_t kDigestsAtOnce = 32;
constexpr std::string_view kInsertArchive = "INSERT INTO archives VALUES (?1, ?2, ?3, ?4)";
constexpr std::string_view kInsertMember = "INSERT INTO members VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";
constexpr std::string_view kDigestRows = "SELECT entry, algorithm, digest FROM digests ORDER BY entry";
constexpr std::string_view kInsertCatalog
    = "INSERT INTO catalog VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)";

std::string insertDigests(std::size_t rows)
{
    std::string statement = "INSERT INTO digests VALUES (?, ?, ?)";
    for (std::size_t i = 1; i < rows; ++i)
        statement += ", (?, ?, ?)";
    return statement;
}

std::optional<std::int64_t> signedSize(std::optional<std::uint64_t> size)
{
    return size ? std::optional(static_cast<std::int64_t>(*size)) : std::nullopt;
}

} // namespace

DatabaseWriter::DatabaseWriter(platform::IReplacement& file)
    : m_file(std::make_unique<BoundFile>(file))
    , m_rows(std::make_unique<RowsHash>())
    , m_archiveRows(std::make_unique<RowsHash>())
    , m_memberRows(std::make_unique<RowsHash>())
    , m_digestRows(std::make_unique<RowsHash>())
{
    guarded([&] {
        m_connection = std::make_unique<SqliteConnection>(
            m_file->name(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
        m_connection->execute(std::string(kWriterSettings));
        m_connection->execute("PRAGMA application_id = " + std::to_string(schema::kApplicationId));
        m_connection->execute("PRAGMA user_version = " + std::to_string(schema::kVersion));
        for (const std::string_view table : schema::tables())
            m_connection->execute(std::string(table));
        m_connection->execute("BEGIN");
        m_insert = std::make_unique<SqliteStatement>(*m_connection, kInsertEntry);
        m_insertDigest = std::make_unique<SqliteStatement>(*m_connection, kInsertDigest);
        m_insertDigests = std::make_unique<SqliteStatement>(*m_connection, insertDigests(kDigestsAtOnce));
        m_insertArchive = std::make_unique<SqliteStatement>(*m_connection, kInsertArchive);
        m_insertMember = std::make_unique<SqliteStatement>(*m_connection, kInsertMember);
    });
}

DatabaseWriter::~DatabaseWriter() = default;

template <typename Action> void DatabaseWriter::guarded(const Action& action)
{
    try {
        action();
    } catch (const SqliteFailure& failure) {
        // The file's own failure (a full disk) says more than SQLite's word for it.
        if (const auto cause = m_file->failure())
            throw DatabaseWriteFailed { *cause };
        throw DatabaseWriteFailed { { 0, "SQLite: " + failure.message } };
    }
}

void DatabaseWriter::insert(schema::Kind kind, const EntryFacts& facts, bool isFile)
{
    const bool isRoot = kind == schema::Kind::DiscRoot;
    const EntryRow row { m_count, m_open.empty() ? std::nullopt : std::optional(m_open.back()),
        static_cast<std::int64_t>(kind), facts.name, signedSize(facts.size), facts.modifiedNs, facts.bornNs,
        isRoot ? std::nullopt : std::optional(static_cast<std::int64_t>(facts.dateFrom)),
        isFile ? std::optional<std::int64_t>(facts.sizeWritten ? 1 : 0) : std::nullopt };
    guarded([&] {
        m_insert->bind(1, row.id);
        m_insert->bind(2, row.parent);
        m_insert->bind(3, row.kind);
        m_insert->bindText(4, row.name);
        m_insert->bind(5, row.size);
        m_insert->bind(6, row.modifiedNs);
        m_insert->bind(7, row.bornNs);
        m_insert->bind(8, row.dateFrom);
        m_insert->bind(9, row.sizeText);
        m_insert->run();
    });
    m_rows->add(row);
    ++m_count;
}

void DatabaseWriter::beginDisk(std::string_view title)
{
    EntryFacts disk;
    disk.name = title;
    insert(schema::Kind::DiscRoot, disk, false);
    m_open.push_back(0);
}

void DatabaseWriter::openFolder(const EntryFacts& folder)
{
    const std::int64_t id = m_count;
    insert(schema::Kind::Folder, folder, false);
    m_open.push_back(id);
}

void DatabaseWriter::closeFolder()
{
    if (m_open.size() > 1)
        m_open.pop_back();
}

void DatabaseWriter::addFile(const EntryFacts& file)
{
    insert(file.kind, file, true);
}

void DatabaseWriter::addDigest(std::int64_t entry, std::string_view algorithm, std::string_view digest)
{
    if (m_copiedDigestsHash)
        throw DatabaseWriteFailed { { 0, "a digest added to those copied" } };
    m_pendingDigests.push_back({ entry, algorithm.size(), digest.size() });
    m_pendingBytes.append(algorithm).append(digest);
    if (m_pendingDigests.size() == kDigestsAtOnce)
        writeDigests(*m_insertDigests);
    ++m_digestCount;
    m_digestsInOrder = m_digestsInOrder && entry > m_lastDigest;
    m_lastDigest = entry;
    if (m_digestsInOrder)
        m_digestRows->add(DigestRow { entry, algorithm, digest });
}

void DatabaseWriter::writeDigests(SqliteStatement& statement)
{
    // Bound where they lie in m_pendingBytes, which is left as it is until they are written.
    guarded([&] {
        std::size_t at = 0;
        int parameter = 1;
        for (const PendingDigest& pending : m_pendingDigests) {
            const std::string_view bytes = m_pendingBytes;
            statement.bind(parameter++, pending.entry);
            statement.bindText(parameter++, bytes.substr(at, pending.algorithmSize));
            statement.bindBlob(parameter++, bytes.substr(at + pending.algorithmSize, pending.digestSize));
            at += pending.algorithmSize + pending.digestSize;
            if (&statement == m_insertDigest.get()) {
                statement.run();
                parameter = 1;
            }
        }
        if (&statement != m_insertDigest.get())
            statement.run();
    });
    m_pendingDigests.clear();
    m_pendingBytes.clear();
}

void DatabaseWriter::copyDigests(
    std::shared_ptr<const platform::IReadableFile> earlier, std::int64_t count, const Hash128& hash)
{
    if (m_digestCount != 0 || m_earlier != nullptr)
        throw DatabaseWriteFailed { { 0, "digests copied into a database that has had some" } };
    m_earlier = std::move(earlier);
    m_earlierFile = std::make_unique<BoundFile>(*m_earlier);
    guarded([&] {
        m_connection->execute("ATTACH '" + m_earlierFile->name() + "' AS earlier");
        // Both tables alike: SQLite copies the rows as they are stored, without reading them.
        m_connection->execute("INSERT INTO digests SELECT * FROM earlier.digests");
        if (m_connection->integer("SELECT changes()") != count)
            throw DatabaseWriteFailed { { 0, "the digests copied are not those checked" } };
    });
    m_digestCount = count;
    m_copiedDigestsHash = hash;
}

void DatabaseWriter::dropCopiedDigests()
{
    if (!m_copiedDigestsHash)
        return;
    guarded([&] { m_connection->execute("DELETE FROM digests"); });
    m_digestCount = 0;
    m_copiedDigestsHash.reset();
}

EntriesWritten DatabaseWriter::entriesWritten() const
{
    return { m_count, m_rows->digest() };
}

void DatabaseWriter::addArchive(const ArchiveRow& archive)
{
    guarded([&] {
        m_insertArchive->bind(1, archive.entry);
        m_insertArchive->bind(2, archive.status);
        m_insertArchive->bindText(3, archive.format);
        m_insertArchive->bind(4, archive.memberCount);
        m_insertArchive->run();
    });
    m_archiveRows->add(archive);
    ++m_archiveCount;
}

void DatabaseWriter::addMember(MemberRow member)
{
    member.id = m_memberCount;
    guarded([&] {
        m_insertMember->bind(1, member.id);
        m_insertMember->bind(2, member.archive);
        m_insertMember->bind(3, member.parent);
        m_insertMember->bind(4, member.kind);
        m_insertMember->bindText(5, member.name);
        m_insertMember->bind(6, member.size);
        m_insertMember->bind(7, member.modifiedNs);
        m_insertMember->bind(8, member.position);
        m_insertMember->bindText(9, member.path);
        m_insertMember->bind(10, std::int64_t { member.encrypted });
        m_insertMember->run();
    });
    m_memberRows->add(member);
    ++m_memberCount;
}

void DatabaseWriter::finish(const ScanRecord& scan, std::uint64_t catalogSize, const Hash128& catalogHash)
{
    writeDigests(*m_insertDigest); // one by one: fewer than make a statement of many
    guarded([&] {
        insertCatalogRow(scan, catalogSize, catalogHash);
        m_insert.reset();
        m_insertDigest.reset();
        m_insertDigests.reset();
        m_insertArchive.reset();
        m_insertMember.reset();
        m_connection->execute("COMMIT");
        m_connection.reset();
    });
}

void DatabaseWriter::insertCatalogRow(const ScanRecord& scan, std::uint64_t catalogSize, const Hash128& catalogHash)
{
    // Finalized before the connection is closed: a connection with a statement left open would
    // stay open.
    SqliteStatement statement(*m_connection, kInsertCatalog);
    statement.bind(1, schema::kVersion);
    statement.bindText(2, MELLOWBY_VERSION);
    statement.bindText(3, scan.scannedPath);
    statement.bind(4, scan.scanTimeNs);
    statement.bind(5, std::int64_t { scan.filterOn });
    statement.bind(6, std::int64_t { scan.filterInclude });
    statement.bindText(7, scan.includeTypes);
    statement.bindText(8, scan.excludeTypes);
    statement.bind(9, static_cast<std::int64_t>(catalogSize));
    statement.bindBlob(10, bytesOf(catalogHash));
    statement.bind(11, m_count);
    statement.bindBlob(12, bytesOf(m_rows->digest()));
    statement.bind(13, m_archiveCount);
    statement.bindBlob(14, bytesOf(m_archiveRows->digest()));
    statement.bind(15, m_memberCount);
    statement.bindBlob(16, bytesOf(m_memberRows->digest()));
    // Digests copied whole are those the earlier catalog row counted and hashed.
    if (m_copiedDigestsHash) {
        statement.bind(17, m_digestCount);
        statement.bindBlob(18, bytesOf(*m_copiedDigestsHash));
        statement.run();
        return;
    }
    // The digests come from the readers in the order they finish: hashed in the order of their
    // entries, as the reader reads them back.
    if (!m_digestsInOrder) {
        m_digestRows = std::make_unique<RowsHash>();
        SqliteStatement rows(*m_connection, kDigestRows);
        while (rows.step())
            m_digestRows->add(DigestRow { rows.integer(0), rows.text(1), rows.blob(2) });
    }
    statement.bind(17, m_digestCount);
    statement.bindBlob(18, bytesOf(m_digestRows->digest()));
    statement.run();
}

} // namespace mellowby::catalogdb
