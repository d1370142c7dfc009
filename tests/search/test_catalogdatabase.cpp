#include "catalogdb/databaseschema.h"
#include "catalogdb/databasestate.h"
#include "catalogdb/sqlitehandles.h"
#include "catalogdb/streamhash.h"
#include "searchtesting.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <sqlite3.h>
#include <thread>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings.h"
#include "catalog/datetext.h"
#include "fakes/faultyfilesystem.h"
#include "platform/linux/linuxdirectorylister.h"
#include "scan/scanner.h"
#include "search/filesearch.h"
#include "support/indexcomparison.h"

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;
using catalogdb::DatabaseState;
using catalogdb::schema::Kind;

constexpr std::int64_t kSecond = 1'000'000'000;

// What a row of the entries table says of an entry, or what stat says of the file.
struct Facts {
    std::int64_t kind = 0;
    std::string name;
    std::optional<std::int64_t> size;
    std::optional<std::int64_t> modifiedNs;
    auto operator<=>(const Facts&) const = default;
};

class CatalogDatabase : public testing::DataFolderTest {
protected:
    CatalogDatabase()
    {
        makeFile("photo.jpg", 5000, 1'079'352'000 * kSecond + 123'456'789);
        fs::create_directory(m_tree / "sub");
        makeFile("sub/empty", 0, 981'158'400 * kSecond + 1);
        makeFile("sub/.hidden.tar.gz", 70'000, 1'765'000'000 * kSecond + 999'999'999);
        fs::create_symlink("photo.jpg", m_tree / "sub/link");
    }

    void makeFile(const std::string& relative, std::size_t size, std::int64_t modifiedNs)
    {
        const std::string path = m_tree / relative;
        tests::writeFile(path, std::string(size, 'x'));
        const timespec times[2] = { { 0, UTIME_OMIT }, { modifiedNs / kSecond, modifiedNs % kSecond } };
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    // What lstat says of the entries of the tree, by name.
    std::map<std::string, Facts> treeFacts() const
    {
        std::map<std::string, Facts> facts;
        for (const auto& entry : fs::recursive_directory_iterator(m_tree.path())) {
            struct stat status { };
            EXPECT_EQ(::lstat(entry.path().c_str(), &status), 0);
            const Kind kind = S_ISDIR(status.st_mode) ? Kind::Folder
                : S_ISLNK(status.st_mode)             ? Kind::SymbolicLink
                                                      : Kind::File;
            facts[entry.path().filename()] = { static_cast<std::int64_t>(kind), entry.path().filename(),
                static_cast<std::int64_t>(status.st_size), status.st_mtim.tv_sec * kSecond + status.st_mtim.tv_nsec };
        }
        return facts;
    }

    std::expected<scan::ScanResult, scan::ScanFailure> scan(const std::string& name,
        platform::IFileSystem* fileSystem = nullptr, scan::IScanObserver* observer = nullptr,
        const std::string& root = {})
    {
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        const catalog::CatalogStore store(m_data.string(), fileSystem ? *fileSystem : m_fileSystem);
        scan::ScanContext context { store, m_settings, m_lister, m_box, m_dates, observer, &m_indexes };
        return scan::genXml(context, root.empty() ? m_tree.path() : root, name);
    }

    // The rows of the entries table in document order, and the integer of a query of the database.
    static std::vector<Facts> rowsOf(const std::string& database)
    {
        catalogdb::SqliteConnection connection(database, SQLITE_OPEN_READONLY, nullptr);
        catalogdb::SqliteStatement rows(connection, "SELECT kind, name, size, mtime_ns FROM entries ORDER BY id");
        std::vector<Facts> facts;
        while (rows.step())
            facts.push_back(
                { rows.integer(0), std::string(rows.text(1)), rows.optionalInteger(2), rows.optionalInteger(3) });
        return facts;
    }
    static std::int64_t integerOf(const std::string& database, const std::string& query)
    {
        return catalogdb::SqliteConnection(database, SQLITE_OPEN_READONLY, nullptr).integer(query);
    }

    // The rows of a search as the list shows them.
    std::vector<FileRow> searchRows(const std::string& text) const
    {
        fakes::FakeMessageBox box;
        tests::RecordedRows rows;
        findFileInXml(m_indexes, box, rows, toUpperText(text), "disc");
        return rows.rows;
    }

    std::vector<std::string> dataFiles() const { return tests::namesIn(m_data); }
    std::map<std::string, std::string> dataContents() const
    {
        std::map<std::string, std::string> contents;
        for (const std::string& name : dataFiles())
            contents[name] = tests::readFile(m_data / name);
        return contents;
    }

    tests::TemporaryFolder m_tree;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    catalog::DateFormatter m_dates { "zh_CN" };
};

// The scan writes the database with the pair: one row per element in document order, each with
// the exact size and time in nanoseconds of the entry it was written from, and the catalog row
// naming the catalog file it was written with. The names index carries the facts, and is made
// again with them when it is deleted.
TEST_F(CatalogDatabase, TheScanWritesExactFactsThatTheNamesIndexCarries)
{
    const auto result = scan("disc");
    ASSERT_TRUE(result);
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.sqlite", "disc.xml" }));
    EXPECT_EQ(result->databasePath, (m_data / "disc.sqlite").string());

    const std::string database = m_data / "disc.sqlite";
    const std::vector<Facts> rows = rowsOf(database);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].kind, static_cast<std::int64_t>(Kind::DiscRoot));
    EXPECT_EQ(rows[0].name, "disc");
    // In the order the catalog has its elements, which is the order the system listed them in.
    const std::string catalogText = tests::readFile(m_data / "disc.xml");
    std::map<std::string, Facts> expected = treeFacts();
    std::size_t lastPlace = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], expected.at(rows[i].name)) << rows[i].name;
        const std::size_t place = catalogText.find(rows[i].name == "sub" ? "\"sub\"" : ">" + rows[i].name + "<");
        EXPECT_GT(place, lastPlace) << rows[i].name;
        lastPlace = place;
        expected.erase(rows[i].name);
    }
    EXPECT_TRUE(expected.empty());

    EXPECT_EQ(integerOf(database, "PRAGMA application_id"), catalogdb::schema::kApplicationId);
    EXPECT_EQ(integerOf(database, "PRAGMA user_version"), catalogdb::schema::kVersion);
    EXPECT_EQ(integerOf(database, "SELECT schema_version FROM catalog"), catalogdb::schema::kVersion);
    EXPECT_EQ(integerOf(database, "SELECT catalog_size FROM catalog"), static_cast<std::int64_t>(catalogText.size()));
    EXPECT_EQ(integerOf(database, "SELECT entry_count FROM catalog"), 6);
    catalogdb::StreamHash hash;
    hash.update(catalogText);
    catalogdb::SqliteConnection connection(database, SQLITE_OPEN_READONLY, nullptr);
    catalogdb::SqliteStatement row(connection, "SELECT catalog_hash, scanned_path FROM catalog");
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.blob(0), catalogdb::bytesOf(hash.digest()));
    EXPECT_EQ(row.text(1), m_tree.path());

    // Kept by the scan, then made again from the pair and the database once deleted.
    for (const bool deleted : { false, true }) {
        if (deleted) {
            ASSERT_TRUE(fs::remove(*m_indexes.indexPath("disc.xml")));
        }
        const auto index = m_indexes.indexOf("disc");
        ASSERT_TRUE(index && index->hasFacts()) << deleted;
        EXPECT_EQ(index->databaseState(), DatabaseState::Belongs);
        std::map<std::string, names::FileFacts> facts;
        for (std::uint32_t file = 0; file < index->fileCount(); ++file)
            facts[std::string(index->file(file).name)] = index->facts(file).value();
        ASSERT_EQ(facts.size(), 4u);
        const auto same = [&](const std::string& name, std::uint64_t size, std::int64_t time, std::uint16_t type) {
            const names::FileFacts& of = facts.at(name);
            EXPECT_EQ(std::tie(of.size, of.modifiedNs, of.typeOffset), std::tie(size, time, type)) << name;
        };
        same("photo.jpg", 5000, 1'079'352'000 * kSecond + 123'456'789, 6);
        same("empty", 0, 981'158'400 * kSecond + 1, 5);
        same(".hidden.tar.gz", 70'000, 1'765'000'000 * kSecond + 999'999'999, 12);
        EXPECT_EQ(facts.at("link").size, 9u);
    }
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Belongs);
}

// Found in another letter case, replaced by a new scan (of a name in another case too), and kept in
// Data with the twin when the catalog proper goes to the trash.
TEST_F(CatalogDatabase, FoundByCaseReplacedOnRescanKeptOnDeletion)
{
    ASSERT_TRUE(scan("disc"));
    fs::rename(m_data / "disc.sqlite", m_data / "Disc.SQLITE");
    ASSERT_TRUE(fs::remove(*m_indexes.indexPath("disc.xml")));
    EXPECT_TRUE(m_indexes.indexOf("disc")->hasFacts());

    makeFile("photo.jpg", 6000, 1'100'000'000 * kSecond);
    ASSERT_TRUE(scan("DISC"));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "DISC.idx", "DISC.sqlite", "DISC.xml" }));
    const auto rows = rowsOf(m_data / "DISC.sqlite");
    const auto photo = std::ranges::find(rows, std::string("photo.jpg"), &Facts::name);
    ASSERT_NE(photo, rows.end());
    EXPECT_EQ(photo->size, 6000);
    EXPECT_EQ(photo->modifiedNs, 1'100'000'000 * kSecond);

    ASSERT_TRUE(m_store.moveToTrash("disc"));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "DISC.idx", "DISC.sqlite" }));
}

// A name that leaves room for ".xml" but not for ".sqlite" gives a catalog without a database.
TEST_F(CatalogDatabase, ANameWithoutRoomForTheDatabaseGivesACatalogWithoutOne)
{
    const std::string name(250, 'n');
    const auto result = scan(name);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->databasePath.empty());
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { name + ".idx", name + ".xml" }));
    EXPECT_EQ(m_indexes.databaseStateOf(name), DatabaseState::Absent);
}

// Whatever stops a scan (the user, an unreadable root, a fault while the database or any file is
// written or committed) leaves the old pair with its own database, byte for byte.
TEST_F(CatalogDatabase, AScanThatDoesNotFinishLeavesTheOldPairWithItsDatabase)
{
    ASSERT_TRUE(scan("disc"));
    const auto old = dataContents();
    const std::uint64_t written = old.at("disc.xml").size() + old.at("disc.idx").size() + old.at("disc.sqlite").size();
    makeFile("photo.jpg", 7000, 1'200'000'000 * kSecond);

    struct Stopping final : scan::IScanObserver {
        void onProgress(const scan::ScanProgress&) override { }
        bool stopRequested() override { return true; }
    } stopping;
    EXPECT_EQ(scan("disc", nullptr, &stopping).error(), scan::ScanFailure::Stopped);
    EXPECT_EQ(dataContents(), old);
    EXPECT_EQ(scan("disc", nullptr, nullptr, m_tree / "missing").error(), scan::ScanFailure::RootUnreadable);
    EXPECT_EQ(dataContents(), old);

    const std::vector<std::function<void(fakes::FaultyFileSystem&)>> faults {
        [](auto& faulty) { faulty.failCommitsOf(".sqlite", platform::errorFromErrno(EIO)); },
        [](auto& faulty) { faulty.failCommitsOf(".xml", platform::errorFromErrno(EIO)); },
        // The disk full near the end, in the database's pages, and halfway.
        [&](auto& faulty) { faulty.failWritesAfter(written - 100, platform::errorFromErrno(ENOSPC)); },
        [&](auto& faulty) { faulty.failWritesAfter(written / 2, platform::errorFromErrno(ENOSPC)); },
    };
    for (std::size_t i = 0; i < faults.size(); ++i) {
        fakes::FaultyFileSystem faulty(m_fileSystem);
        faults[i](faulty);
        m_box.shown.clear();
        EXPECT_EQ(scan("disc", &faulty).error(), scan::ScanFailure::Failed) << i;
        EXPECT_EQ(titles(), (std::vector<std::string> { "生成xml文件", "frmMain-genXml" })) << i;
        EXPECT_EQ(dataContents(), old) << i;
    }
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Belongs);
}

// Two scans of one name at once (the window and the command-line tool, each with its own walker):
// whichever is committed last is there whole, with its own database beside it.
TEST_F(CatalogDatabase, TwoScansOfOneNameAtOnceLeaveADatabaseThatBelongs)
{
    tests::writeFile(m_tree / "more/other.txt", "other");
    for (int round = 0; round < 8; ++round) {
        const auto scanOf = [&](const std::string& root) {
            fakes::FakeMessageBox box;
            box.queueAnswer(platform::MessageAnswer::Yes);
            const catalog::CatalogStore store(m_data.string(), m_fileSystem);
            platform::LinuxDirectoryLister lister;
            const catalog::DateFormatter dates { "zh_CN" };
            scan::ScanContext context { store, m_settings, lister, box, dates, nullptr, nullptr };
            EXPECT_TRUE(scan::genXml(context, root, "disc"));
        };
        std::thread first(scanOf, m_tree.path());
        std::thread second(scanOf, m_tree / "more");
        first.join();
        second.join();
        EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.sqlite", "disc.xml" }));
        EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Belongs) << round;
    }
}

// A database of another catalog (the pair replaced by one from elsewhere), of a later version, cut
// short, with bytes changed, or that cannot be read is not used: the catalog searches as one
// without a database, its index carries no facts, and what became of it is said.
TEST_F(CatalogDatabase, ADatabaseThatDoesNotBelongIsIgnored)
{
    ASSERT_TRUE(scan("disc"));
    const std::string database = m_data / "disc.sqlite";
    const std::string good = tests::readFile(database);
    fs::remove(database);
    ASSERT_TRUE(fs::remove(*m_indexes.indexPath("disc.xml")));
    const auto withoutDatabase = searchRows(".");
    ASSERT_EQ(withoutDatabase.size(), 2u);
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Absent);

    tests::writeFile(m_tree / "more/other.txt", "other");
    ASSERT_TRUE(scan("other", nullptr, nullptr, m_tree / "more"));
    const std::string other = tests::readFile(m_data / "other.sqlite");
    const auto withBytes = [&](std::size_t at, std::string_view bytes) {
        std::string changed = good;
        changed.replace(at, bytes.size(), bytes);
        return changed;
    };
    std::string laterVersion = good;
    laterVersion[63] = static_cast<char>(
        catalogdb::schema::kVersion + 1); // the low byte of PRAGMA user_version, big-endian at offset 60
    const std::vector<std::tuple<const char*, std::string, DatabaseState>> cases {
        { "another catalog's", other, DatabaseState::OtherCatalog },
        { "a later version", laterVersion, DatabaseState::UnknownVersion },
        { "cut short", good.substr(0, good.size() / 2), DatabaseState::Damaged },
        { "garbage at the end", withBytes(good.size() - 40, std::string(40, '\x5A')), DatabaseState::Damaged },
        { "garbage in the header", withBytes(20, "\xFF\xFF\xFF\xFF"), DatabaseState::Damaged },
        { "not a database", std::string(good.size(), 'x'), DatabaseState::Damaged },
    };
    for (const auto& [what, bytes, state] : cases) {
        tests::writeFile(database, bytes);
        EXPECT_EQ(m_indexes.databaseStateOf("disc"), state) << what;
        const auto index = m_indexes.indexOf("disc");
        ASSERT_TRUE(index) << what;
        EXPECT_FALSE(index->hasFacts()) << what;
        EXPECT_FALSE(index->facts(0)) << what;
        EXPECT_EQ(searchRows("."), withoutDatabase) << what;
    }

    tests::writeFile(database, good);
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Belongs);
    fakes::FaultyFileSystem faulty(m_fileSystem);
    faulty.failReads(".sqlite", platform::errorFromErrno(EIO));
    const catalog::CatalogStore store(m_data.string(), faulty);
    const names::NamesIndexCache inMemory(store, std::nullopt);
    EXPECT_EQ(inMemory.databaseStateOf("disc"), DatabaseState::Unreadable);
    EXPECT_FALSE(inMemory.indexOf("disc")->hasFacts());

    // The catalog replaced by a copy from elsewhere, its database left: it belongs no more.
    tests::writeFile(m_data / "disc.xml", tests::readFile(m_data / "other.xml"));
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::OtherCatalog);
    EXPECT_FALSE(m_indexes.indexOf("disc")->hasFacts());
}

// A database written before the digests table came (version 1) is read as before: what it holds
// is still there and still checked.
TEST_F(CatalogDatabase, ADatabaseOfTheFirstVersionStillBelongs)
{
    ASSERT_TRUE(scan("disc"));
    const std::string database = m_data / "disc.sqlite";
    {
        catalogdb::SqliteConnection connection(database, SQLITE_OPEN_READWRITE, nullptr);
        connection.execute("DROP TABLE digests; UPDATE catalog SET schema_version = 1; PRAGMA user_version = 1;");
        connection.execute("VACUUM");
    }
    ASSERT_EQ(integerOf(database, "PRAGMA user_version"), 1);
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Belongs);
    EXPECT_TRUE(m_indexes.indexOf("disc")->hasFacts());
}

// A database written before archives were listed (version 2) is read as before too.
TEST_F(CatalogDatabase, ADatabaseOfTheSecondVersionStillBelongs)
{
    ASSERT_TRUE(scan("disc"));
    const std::string database = m_data / "disc.sqlite";
    {
        catalogdb::SqliteConnection connection(database, SQLITE_OPEN_READWRITE, nullptr);
        connection.execute(
            "DROP TABLE members; DROP TABLE archives;"
            "ALTER TABLE catalog DROP COLUMN archive_count; ALTER TABLE catalog DROP COLUMN archives_hash;"
            "ALTER TABLE catalog DROP COLUMN member_count; ALTER TABLE catalog DROP COLUMN members_hash;"
            "UPDATE catalog SET schema_version = 2; PRAGMA user_version = 2;");
        connection.execute("VACUUM");
    }
    ASSERT_EQ(integerOf(database, "PRAGMA user_version"), 2);
    EXPECT_EQ(m_indexes.databaseStateOf("disc"), DatabaseState::Belongs);
    const auto index = m_indexes.indexOf("disc");
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->hasFacts());
    EXPECT_EQ(index->fileCount(), 4u);
    EXPECT_FALSE(index->isMember(3));
}

} // namespace
} // namespace mellowby::search
