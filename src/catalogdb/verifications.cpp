#include "catalogdb/verifications.h"

#include "catalogdb/boundfiles.h"
#include "catalogdb/sqlitehandles.h"

#include <sqlite3.h>

#include "platform/filesystem.h"

namespace mellowby::catalogdb {

namespace {

constexpr std::string_view kCreateTable
    = "CREATE TABLE IF NOT EXISTS verifications (entry INTEGER PRIMARY KEY, verified_ns INTEGER NOT NULL)";
constexpr std::string_view kInsert = "INSERT OR REPLACE INTO verifications VALUES (?1, ?2)";
constexpr std::string_view kHasTable
    = "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'verifications'";
constexpr std::string_view kRows = "SELECT entry, verified_ns FROM verifications";

// The copy is written as the scan writes a database: no journal, since a copy that fails is dropped.
constexpr std::string_view kCopySettings = "PRAGMA journal_mode = OFF;"
                                           "PRAGMA synchronous = OFF;"
                                           "PRAGMA locking_mode = EXCLUSIVE;";

platform::Error failureOf(const BoundFile& source, const BoundFile& copy, const SqliteFailure& failure)
{
    if (const auto cause = copy.failure())
        return *cause;
    if (const auto cause = source.failure())
        return *cause;
    return { 0, "SQLite: " + failure.message };
}

// Every page of source into the empty copy, as they are.
void copyPages(SqliteConnection& source, SqliteConnection& copy)
{
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (backup == nullptr)
        copy.fail(sqlite3_errcode(copy.get()));
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE)
        throw SqliteFailure { stepped, sqlite3_errstr(stepped) };
    if (finished != SQLITE_OK)
        copy.fail(finished);
}

} // namespace

std::expected<void, platform::Error> recordVerifications(platform::IFileSystem& fileSystem,
    const std::string& databasePath, std::span<const std::int64_t> entries, std::int64_t verifiedNs)
{
    auto readable = fileSystem.openForReading(databasePath);
    if (!readable)
        return std::unexpected(readable.error());
    auto replacement = fileSystem.beginReplacement(databasePath);
    if (!replacement)
        return std::unexpected(replacement.error());
    const BoundFile sourceFile(**readable);
    const BoundFile copyFile(**replacement);
    try {
        {
            SqliteConnection source(sourceFile.name(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
            SqliteConnection copy(
                copyFile.name(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
            copy.execute(std::string(kCopySettings));
            copyPages(source, copy);
            copy.execute("BEGIN");
            copy.execute(std::string(kCreateTable));
            {
                SqliteStatement insert(copy, kInsert);
                for (const std::int64_t entry : entries) {
                    insert.bind(1, entry);
                    insert.bind(2, verifiedNs);
                    insert.run();
                }
            }
            copy.execute("COMMIT");
        }
    } catch (const SqliteFailure& failure) {
        return std::unexpected(failureOf(sourceFile, copyFile, failure));
    }
    if (auto finished = (*replacement)->finish(); !finished)
        return std::unexpected(finished.error());
    return (*replacement)->commit();
}

std::expected<std::map<std::int64_t, std::int64_t>, platform::Error> readVerifications(
    platform::IFileSystem& fileSystem, const std::string& databasePath)
{
    auto readable = fileSystem.openForReading(databasePath);
    if (!readable)
        return std::unexpected(readable.error());
    const BoundFile file(**readable);
    std::map<std::int64_t, std::int64_t> times;
    try {
        SqliteConnection connection(file.name(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
        if (connection.integer(std::string(kHasTable)) == 0)
            return times;
        SqliteStatement rows(connection, kRows);
        while (rows.step())
            times[rows.integer(0)] = rows.integer(1);
    } catch (const SqliteFailure& failure) {
        return std::unexpected(file.failure().value_or(platform::Error { 0, "SQLite: " + failure.message }));
    }
    return times;
}

} // namespace mellowby::catalogdb
