#include "catalogdb/verifications.h"

#include "catalogdb/boundfiles.h"
#include "catalogdb/sqlitehandles.h"

#include <condition_variable>
#include <mutex>
#include <sqlite3.h>
#include <thread>
#include <utility>
#include <vector>

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

// The rows the recording thread is woken for.
constexpr std::size_t kRowsAtOnce = 4096;

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

struct VerificationRecorder::Work {
    enum class End : char { None, Finish, Drop };
    using Row = std::pair<std::int64_t, std::int64_t>; // entry, verified_ns

    Work(platform::IFileSystem& files, std::string path)
        : fileSystem(files)
        , databasePath(std::move(path))
        , thread([this] { run(); })
    {
    }

    void run();
    // Copies the database and writes the rows into the copy until told to end; the copy, once
    // committed, else why it could not be.
    std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> write();
    // The next rows to write, and whether they are the last; waits for either.
    End take(std::vector<Row>& rows);

    platform::IFileSystem& fileSystem;
    const std::string databasePath;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Row> waiting; // under mutex
    End end = End::None; // under mutex
    bool failed = false; // under mutex: rows given are dropped
    // Written by the thread, read once it has ended.
    std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> written
        = std::unexpected(platform::Error { 0, "" });
    std::jthread thread; // last: it uses the rest
};

void VerificationRecorder::Work::run()
{
    try {
        written = write();
    } catch (const std::exception& failure) { // out of memory
        written = std::unexpected(platform::Error { 0, failure.what() });
    }
    if (!written) {
        const std::lock_guard lock(mutex);
        failed = true;
        waiting = {};
    }
}

VerificationRecorder::Work::End VerificationRecorder::Work::take(std::vector<Row>& rows)
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return !waiting.empty() || end != End::None; });
    rows.swap(waiting);
    return end;
}

std::expected<std::unique_ptr<platform::IReplacement>, platform::Error> VerificationRecorder::Work::write()
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
        SqliteConnection copy(
            copyFile.name(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
        copy.execute(std::string(kCopySettings));
        {
            SqliteConnection source(sourceFile.name(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
            copyPages(source, copy);
        }
        copy.execute("BEGIN");
        copy.execute(std::string(kCreateTable));
        {
            SqliteStatement insert(copy, kInsert);
            std::vector<Row> rows;
            for (End ended = End::None; ended != End::Finish;) {
                rows.clear();
                ended = take(rows);
                if (ended == End::Drop)
                    return std::unexpected(platform::Error { 0, "" });
                for (const auto& [entry, verifiedNs] : rows) {
                    insert.bind(1, entry);
                    insert.bind(2, verifiedNs);
                    insert.run();
                }
            }
        }
        copy.execute("COMMIT");
    } catch (const SqliteFailure& failure) {
        return std::unexpected(failureOf(sourceFile, copyFile, failure));
    }
    return std::move(*replacement);
}

VerificationRecorder::VerificationRecorder(platform::IFileSystem& fileSystem, const std::string& databasePath)
    : m_work(std::make_unique<Work>(fileSystem, databasePath))
{
}

VerificationRecorder::~VerificationRecorder()
{
    if (!m_work)
        return;
    {
        const std::lock_guard lock(m_work->mutex);
        m_work->end = Work::End::Drop;
    }
    m_work->changed.notify_one();
}

void VerificationRecorder::add(std::int64_t entry, std::int64_t verifiedNs)
{
    {
        const std::lock_guard lock(m_work->mutex);
        if (m_work->failed)
            return;
        m_work->waiting.emplace_back(entry, verifiedNs);
        // The thread is woken for rows enough to be worth it, and for the end.
        if (m_work->waiting.size() < kRowsAtOnce)
            return;
    }
    m_work->changed.notify_one();
}

std::expected<void, platform::Error> VerificationRecorder::finish()
{
    {
        const std::lock_guard lock(m_work->mutex);
        m_work->end = Work::End::Finish;
    }
    m_work->changed.notify_one();
    m_work->thread.join();
    const std::unique_ptr<Work> work = std::move(m_work);
    if (!work->written)
        return std::unexpected(work->written.error());
    platform::IReplacement& replacement = **work->written;
    if (auto finished = replacement.finish(); !finished)
        return std::unexpected(finished.error());
    return replacement.commit();
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
