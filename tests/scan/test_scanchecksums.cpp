// Scans with checksums over real trees: the digests the database keeps held against the tools that
// check them, a file that cannot be read, and a scan stopped while its files are being read.

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"
#include "catalogdb/sqlitehandles.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <thread>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "digest/digesttesting.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilereading.h"
#include "platform/error.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/nesteddatafolder.h"

namespace mellowby::scan {
namespace {

using digest::DigestAlgorithm;
using tests::readFile;
using tests::writeFile;

// A digest row as the database holds it, its bytes in hexadecimal as the tools print them.
struct DigestRow {
    std::string algorithm;
    std::string hex;
    bool operator==(const DigestRow&) const = default;
};

// The digests of a database by the path of their file below the scanned folder, read through the
// rows' parents as the README's query does.
std::map<std::string, DigestRow> digestsIn(const std::string& database)
{
    catalogdb::SqliteConnection connection(database, SQLITE_OPEN_READONLY, nullptr);
    catalogdb::SqliteStatement rows(connection,
        "WITH RECURSIVE path(id, text) AS (SELECT id, '' FROM entries WHERE parent IS NULL"
        " UNION ALL SELECT e.id, path.text || '/' || e.name FROM entries e JOIN path ON e.parent = path.id)"
        " SELECT path.text, d.algorithm, lower(hex(d.digest)) FROM digests d JOIN path ON path.id = d.entry");
    std::map<std::string, DigestRow> digests;
    while (rows.step())
        digests[std::string(rows.text(0))] = { std::string(rows.text(1)), std::string(rows.text(2)) };
    return digests;
}

// Stops the scan once a read has begun, and keeps the reader busy meanwhile so that the stop
// comes while the file is being read.
class StopWhileReading final : public IScanObserver {
public:
    void onProgress(const ScanProgress&) override { }
    bool stopRequested() override { return readBegun.load(); }
    void aboutToRead()
    {
        readBegun.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    std::atomic<bool> readBegun = false;
};

class ScanChecksums : public ::testing::Test {
protected:
    // Files of the sizes where reading is at its edges: none, a few bytes, several read pieces
    // and some; a link, whose target is not its own contents, gets no digest.
    ScanChecksums()
    {
        std::filesystem::create_directories(m_tree / "sub");
        writeFile(m_tree / "empty", "");
        writeFile(m_tree / "a.txt", "hello");
        writeFile(m_tree / "sub/big.bin", tests::randomBytes(3 * 1024 * 1024 + 17, 7));
        std::filesystem::create_symlink("../a.txt", m_tree / "sub/link");
    }

    std::expected<ScanResult, ScanFailure> scan(const std::string& name, std::optional<DigestAlgorithm> checksums,
        IScanObserver* observer = nullptr, bool writeDatabase = true)
    {
        ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, observer, nullptr, nullptr, writeDatabase,
            checksums, &m_reading };
        return genXml(context, m_tree.path(), name);
    }

    std::vector<std::string> dataFiles() const { return tests::namesIn(m_data.path()); }

    tests::TemporaryFolder m_tree;
    tests::NestedDataFolder m_data;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
    platform::LinuxFileReading m_realReading;
    fakes::FaultyFileReading m_reading { m_realReading };
};

TEST_F(ScanChecksums, TheDatabaseHoldsWhatTheToolsPrint)
{
    const std::vector<std::string> paths { m_tree / "empty", m_tree / "a.txt", m_tree / "sub/big.bin" };
    for (const auto& [algorithm, tool] :
        { std::pair(DigestAlgorithm::Xxh128, "xxhsum -H2"), std::pair(DigestAlgorithm::Sha256, "sha256sum") }) {
        SCOPED_TRACE(tool);
        const auto printed = tests::toolDigests(tool, paths);
        ASSERT_EQ(printed.size(), paths.size()) << "is " << tool << " installed?";
        const std::string name(digest::algorithmName(algorithm));

        const auto result = scan(name, algorithm);
        ASSERT_TRUE(result);
        ASSERT_TRUE(result->digests);
        EXPECT_EQ(result->digests->digested, 3u);
        EXPECT_EQ(result->digests->notDigested, 0u);
        const std::map<std::string, DigestRow> expected {
            { "/empty", { name, printed.at(m_tree / "empty") } },
            { "/a.txt", { name, printed.at(m_tree / "a.txt") } },
            { "/sub/big.bin", { name, printed.at(m_tree / "sub/big.bin") } },
        };
        EXPECT_EQ(digestsIn(result->databasePath), expected);
        // A database with digests is one its reader takes as belonging to its catalog.
        EXPECT_EQ(catalogdb::checkDatabase(m_fileSystem, result->databasePath, result->xmlPath),
            catalogdb::DatabaseState::Belongs);
    }
    // Without checksums the table is there, and empty.
    const auto plain = scan("plain", std::nullopt);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->digests);
    EXPECT_TRUE(digestsIn(plain->databasePath).empty());
}

// A digest changed, taken away or added where the file still reads would tell of rot that is not
// there or hide it: the database no longer belongs, and nothing of it is used.
// A version-2 database has no hash of its digests: a digest longer than any algorithm's is not one
// a scan wrote, and the database is not used.
TEST_F(ScanChecksums, ADigestLongerThanAnyMakesADatabaseOfVersion2Damaged)
{
    const auto result = scan("disc", DigestAlgorithm::Xxh128);
    ASSERT_TRUE(result);
    for (const int bytes : { 16, 33 }) {
        SCOPED_TRACE(bytes);
        {
            catalogdb::SqliteConnection connection(result->databasePath, SQLITE_OPEN_READWRITE, nullptr);
            connection.execute("PRAGMA user_version = 2; UPDATE catalog SET schema_version = 2;"
                               "UPDATE digests SET digest = zeroblob("
                + std::to_string(bytes) + ") WHERE entry = (SELECT min(entry) FROM digests)");
        }
        const auto files = catalogdb::readCatalogFiles(m_fileSystem, result->databasePath, result->xmlPath);
        if (bytes == 16)
            EXPECT_TRUE(files);
        else
            EXPECT_EQ(files.error(), catalogdb::DatabaseState::Damaged);
    }
}

TEST_F(ScanChecksums, ADigestChangedRemovedOrAddedLeavesADatabaseThatDoesNotBelong)
{
    const auto result = scan("disc", DigestAlgorithm::Xxh128);
    ASSERT_TRUE(result);
    const std::string original = readFile(result->databasePath);
    for (const char* edit : { "UPDATE digests SET digest = zeroblob(16) WHERE entry = (SELECT min(entry) FROM digests)",
             "DELETE FROM digests WHERE entry = (SELECT max(entry) FROM digests)",
             "INSERT INTO digests VALUES ((SELECT id FROM entries WHERE name = 'link'), 'xxh128', zeroblob(16))" }) {
        SCOPED_TRACE(edit);
        {
            catalogdb::SqliteConnection connection(result->databasePath, SQLITE_OPEN_READWRITE, nullptr);
            connection.execute(edit);
        }
        EXPECT_EQ(catalogdb::checkDatabase(m_fileSystem, result->databasePath, result->xmlPath),
            catalogdb::DatabaseState::Damaged);
        writeFile(result->databasePath, original);
        EXPECT_EQ(catalogdb::checkDatabase(m_fileSystem, result->databasePath, result->xmlPath),
            catalogdb::DatabaseState::Belongs);
    }
}

TEST_F(ScanChecksums, FilesThatCannotBeReadGetNoDigestAndTheScanGoesOn)
{
    m_reading.failReadsAt(m_tree / "sub/big.bin", 1024 * 1024, EIO);
    m_reading.failReadsAt(m_tree / "a.txt", 0, EACCES);
    const auto result = scan("disc", DigestAlgorithm::Xxh128);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->digests);
    EXPECT_EQ(result->digests->digested, 1u);
    EXPECT_EQ(result->digests->notDigested, 2u);
    // Read on lanes of their own, in no set order.
    auto failures = result->digests->failures;
    std::ranges::sort(failures);
    EXPECT_EQ(failures,
        (std::vector<std::string> {
            m_tree / "a.txt" + "：无法读取（" + platform::errorFromErrno(EACCES).description + "）",
            m_tree / "sub/big.bin" + "：在第 1048576 字节处读取出错（" + platform::errorFromErrno(EIO).description
                + "）" }));
    const auto digests = digestsIn(result->databasePath);
    ASSERT_EQ(digests.size(), 1u);
    EXPECT_EQ(digests.at("/empty").hex, tests::digestText(""));
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(ScanChecksums, AScanStoppedWhileReadingKeepsTheOldCatalogAndDatabase)
{
    // The root holds files only, so that the walk ends before the stop is asked for and the stop
    // comes while the digests are awaited.
    std::filesystem::remove_all(m_tree / "sub");
    writeFile(m_tree / "big.bin", tests::randomBytes(2 * 1024 * 1024, 8));
    ASSERT_TRUE(scan("disc", std::nullopt));
    const std::vector<std::string> kept = dataFiles();
    ASSERT_EQ(kept, (std::vector<std::string> { "disc.idx", "disc.sqlite", "disc.xml" }));
    std::map<std::string, std::string> before;
    for (const auto& file : kept)
        before[file] = readFile(m_data / file);

    StopWhileReading observer;
    m_reading.beforeEachRead([&](const std::string&) { observer.aboutToRead(); });
    m_box.queueAnswer(platform::MessageAnswer::Yes);
    EXPECT_EQ(scan("disc", DigestAlgorithm::Sha256, &observer).error(), ScanFailure::Stopped);
    EXPECT_TRUE(observer.readBegun.load());
    EXPECT_EQ(dataFiles(), kept);
    for (const auto& [file, bytes] : before)
        EXPECT_EQ(readFile(m_data / file), bytes) << file;
    EXPECT_TRUE(m_data.strayFiles().empty());
}

TEST_F(ScanChecksums, NoDatabaseMeansNoDigests)
{
    const auto result = scan("disc", DigestAlgorithm::Xxh128, nullptr, false);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->databasePath.empty());
    EXPECT_FALSE(result->digests);
    EXPECT_TRUE(m_reading.opened().empty());
}

} // namespace
} // namespace mellowby::scan
