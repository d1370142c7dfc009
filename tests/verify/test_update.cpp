// A catalog scanned again with --update: the files that did not change are not read, the pair is
// the one a fresh scan writes, the changes are told, and a stopped update keeps the old files.

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"
#include "catalogdb/databasewriter.h"
#include "catalogdb/sqlitehandles.h"
#include "verify/catalogchanges.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "digest/digesttesting.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilereading.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/earliercomparison.h"
#include "scan/scandatabase.h"
#include "scan/scanner.h"
#include "support/nesteddatafolder.h"

namespace mellowby::verify {
namespace {

using digest::DigestAlgorithm;
using tests::readFile;
using tests::writeFile;

class StopAtOnce final : public scan::IScanObserver {
public:
    void onProgress(const scan::ScanProgress&) override { }
    bool stopRequested() override { return true; }
};

class Update : public ::testing::Test {
protected:
    Update()
    {
        std::filesystem::create_directories(m_tree / "sub");
        writeFile(m_tree / "same.bin", tests::randomBytes(200 * 1024, 1));
        writeFile(m_tree / "sub/same.txt", "unchanged");
        writeFile(m_tree / "grows.txt", "short");
        writeFile(m_tree / "goes.txt", "gone soon");
    }

    std::expected<scan::ScanResult, scan::ScanFailure> scan(const catalog::CatalogStore& store,
        const catalogdb::CatalogFiles* earlier, scan::IScanObserver* observer = nullptr)
    {
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        scan::ScanContext context { store, m_settings, m_lister, m_box, m_dates, observer, nullptr, nullptr, true,
            DigestAlgorithm::Xxh128, &m_reading, earlier };
        return scan::genXml(context, m_tree.path(), "disc");
    }

    catalogdb::CatalogFiles filesOf(const tests::NestedDataFolder& data)
    {
        auto files = catalogdb::readCatalogFiles(m_fileSystem, data / "disc.sqlite", data / "disc.xml");
        EXPECT_TRUE(files);
        return files.value_or(catalogdb::CatalogFiles {});
    }

    // Each file told, by its location; the counts in m_counts.
    std::map<std::string, Verdict> changesOf(const scan::EarlierChanges& changes)
    {
        std::map<std::string, Verdict> told;
        m_counts
            = catalogChanges(changes, m_tree.path(), [&](const VerdictRow& row) { told[row.location] = row.verdict; });
        return told;
    }

    // The earlier catalog as scan --update has it: its digests alone first, its files only once
    // asked for, each time counted in filesRead.
    scan::EarlierCatalog readWhenAsked(std::atomic<int>& filesRead)
    {
        const std::string database = m_data / "disc.sqlite";
        const std::string catalog = m_data / "disc.xml";
        return scan::EarlierCatalog::readWhenAsked(
            [&, database, catalog] {
                ++filesRead;
                return catalogdb::readCatalogFiles(m_fileSystem, database, catalog);
            },
            [&, database, catalog](std::int64_t mostEntries) {
                return catalogdb::readDigestsToKeep(m_fileSystem, database, catalog, mostEntries);
            });
    }

    // Each file's path and digest, from a database that must belong to its catalog.
    std::map<std::string, catalogdb::DigestBytes> digestsOf(const tests::NestedDataFolder& data)
    {
        std::map<std::string, catalogdb::DigestBytes> digests;
        for (const catalogdb::CatalogFile& file : filesOf(data).files)
            digests[file.path] = file.digest;
        return digests;
    }

    std::map<std::string, std::string> dataFiles(const tests::NestedDataFolder& data) const
    {
        std::map<std::string, std::string> files;
        for (const auto& name : tests::namesIn(data.path()))
            files[name] = readFile(data / name);
        return files;
    }

    tests::TemporaryFolder m_tree;
    tests::NestedDataFolder m_data;
    tests::NestedDataFolder m_freshData;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    catalog::CatalogStore m_freshStore { m_freshData.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
    platform::LinuxFileReading m_realReading;
    fakes::FaultyFileReading m_reading { m_realReading };
    VerdictCounts m_counts;
};

TEST_F(Update, UnchangedFilesAreNotReadAndThePairIsThatOfAFreshScan)
{
    ASSERT_TRUE(scan(m_store, nullptr));
    writeFile(m_tree / "grows.txt", "longer now");
    std::filesystem::remove(m_tree / "goes.txt");
    writeFile(m_tree / "sub/comes.txt", "new");
    const catalogdb::CatalogFiles earlier = filesOf(m_data);

    fakes::FaultyFileReading counting(m_realReading);
    const auto updated = [&] {
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, nullptr, true,
            DigestAlgorithm::Xxh128, &counting, &earlier };
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        return scan::genXml(context, m_tree.path(), "disc");
    }();
    ASSERT_TRUE(updated);
    // Only the changed and the new file are read, on lanes of their own in no set order.
    auto opened = counting.opened();
    std::ranges::sort(opened);
    EXPECT_EQ(opened, (std::vector<std::string> { m_tree / "grows.txt", m_tree / "sub/comes.txt" }));
    EXPECT_EQ(updated->digests->digested, 4u);
    EXPECT_EQ(updated->digests->reused, 2u);

    // The catalog pair of a fresh scan, byte for byte, and the same digests in its database.
    ASSERT_TRUE(scan(m_freshStore, nullptr));
    for (const char* name : { "disc.xml", "disc.idx" })
        EXPECT_EQ(readFile(m_data / name), readFile(m_freshData / name)) << name;
    const catalogdb::CatalogFiles now = filesOf(m_data);
    const catalogdb::CatalogFiles fresh = filesOf(m_freshData);
    ASSERT_EQ(now.files.size(), fresh.files.size());
    for (std::size_t i = 0; i < now.files.size(); ++i) {
        EXPECT_EQ(now.files[i].path, fresh.files[i].path);
        EXPECT_EQ(now.files[i].digest, fresh.files[i].digest) << now.files[i].path;
    }

    ASSERT_TRUE(updated->changes);
    EXPECT_EQ(changesOf(*updated->changes),
        (std::map<std::string, Verdict> { { m_tree / "grows.txt", Verdict::Modified },
            { m_tree / "goes.txt", Verdict::Missing }, { m_tree / "sub/comes.txt", Verdict::Added } }));
    EXPECT_EQ(m_counts.of(Verdict::Ok), 2u);
}

// Digests of another algorithm are all made anew: an unchanged file that cannot be read for them
// is told.
TEST_F(Update, AnUnchangedFileWhoseNewDigestCannotBeMadeIsTold)
{
    writeFile(m_tree / "grows.txt", "longer now");
    // One file cannot be read, then none can: then no digest at all is made.
    for (const bool everything : { false, true }) {
        SCOPED_TRACE(everything);
        ASSERT_TRUE(scan(m_store, nullptr));
        const catalogdb::CatalogFiles earlier = filesOf(m_data);
        writeFile(m_tree / "grows.txt", everything ? "shorter" : "longer still");
        fakes::FaultyFileReading reading(m_realReading);
        if (everything)
            reading.failEverything(EIO);
        else
            reading.failReadsAt(m_tree / "same.bin", 4096, EIO);
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, nullptr, true,
            DigestAlgorithm::Sha256, &reading, &earlier };
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        const auto updated = scan::genXml(context, m_tree.path(), "disc");
        ASSERT_TRUE(updated);
        EXPECT_EQ(updated->digests->reused, 0u);
        ASSERT_TRUE(updated->changes);
        std::map<std::string, std::string> told;
        (void)catalogChanges(
            *updated->changes, m_tree.path(), [&](const VerdictRow& row) { told[row.location] = row.detail; });
        std::map<std::string, std::string> expected { { m_tree / "same.bin", "未能计算校验和" } };
        if (everything) {
            expected[m_tree / "sub/same.txt"] = "未能计算校验和";
            expected[m_tree / "goes.txt"] = "未能计算校验和";
        }
        ASSERT_TRUE(told.contains(m_tree / "grows.txt"));
        told.erase(m_tree / "grows.txt");
        EXPECT_EQ(told, expected);
    }
}

TEST_F(Update, AStoppedUpdateKeepsTheOldCatalogAndDatabase)
{
    ASSERT_TRUE(scan(m_store, nullptr));
    const auto before = dataFiles(m_data);
    ASSERT_EQ(before.size(), 3u);
    writeFile(m_tree / "grows.txt", "longer now");
    const catalogdb::CatalogFiles earlier = filesOf(m_data);
    StopAtOnce stop;
    EXPECT_EQ(scan(m_store, &earlier, &stop).error(), scan::ScanFailure::Stopped);
    EXPECT_EQ(dataFiles(m_data), before);
    EXPECT_TRUE(m_data.strayFiles().empty());
}

// The earlier catalog read beside the walk, as scan --update reads it: the files met before it is
// read wait for it and are not read either; one found unusable fails the scan, nothing read.
TEST_F(Update, AnEarlierCatalogReadBesideTheWalkIsWaitedFor)
{
    ASSERT_TRUE(scan(m_store, nullptr));
    writeFile(m_tree / "grows.txt", "longer now");
    const auto before = dataFiles(m_data);
    for (const bool usable : { false, true }) {
        auto earlier = scan::EarlierCatalog::readBeside([&]() -> scan::EarlierCatalog::Reading {
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // past the walk
            if (!usable)
                return std::unexpected(catalogdb::DatabaseState::Damaged);
            return filesOf(m_data);
        });
        fakes::FaultyFileReading counting(m_realReading);
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, nullptr, true,
            DigestAlgorithm::Xxh128, &counting, earlier };
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        const auto updated = scan::genXml(context, m_tree.path(), "disc");
        if (!usable) {
            EXPECT_EQ(updated.error(), scan::ScanFailure::EarlierUnusable);
            EXPECT_TRUE(counting.opened().empty());
            EXPECT_EQ(dataFiles(m_data), before);
            continue;
        }
        ASSERT_TRUE(updated);
        EXPECT_EQ(counting.opened(), std::vector<std::string> { m_tree / "grows.txt" });
        EXPECT_EQ(updated->digests->reused, 3u);
        // The files that waited are held against it as the others are.
        ASSERT_TRUE(updated->changes);
        EXPECT_EQ(changesOf(*updated->changes),
            (std::map<std::string, Verdict> { { m_tree / "grows.txt", Verdict::Modified } }));
        EXPECT_EQ(m_counts.of(Verdict::Ok), 3u);
    }
}

// An unchanged tree writes the entries the earlier database hashed: every digest is kept as it is,
// and neither a file nor the earlier catalog's files are read. A changed one drops the digests
// copied meanwhile and is held against the earlier files, file by file.
TEST_F(Update, AnUnchangedTreeKeepsEveryDigestWithoutReadingTheEarlierFiles)
{
    for (const bool changed : { false, true }) {
        SCOPED_TRACE(changed);
        ASSERT_TRUE(scan(m_store, nullptr));
        const auto before = digestsOf(m_data);
        ASSERT_EQ(before.size(), 4u);
        if (changed)
            writeFile(m_tree / "grows.txt", "longer now");
        std::atomic<int> filesRead = 0;
        fakes::FaultyFileReading counting(m_realReading);
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, nullptr, true,
            DigestAlgorithm::Xxh128, &counting, readWhenAsked(filesRead) };
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        const auto updated = scan::genXml(context, m_tree.path(), "disc");
        ASSERT_TRUE(updated);
        EXPECT_EQ(filesRead, changed ? 1 : 0);
        EXPECT_EQ(counting.opened(),
            changed ? std::vector<std::string> { m_tree / "grows.txt" } : std::vector<std::string> {});
        EXPECT_EQ(updated->digests->digested, 4u);
        EXPECT_EQ(updated->digests->reused, changed ? 3u : 4u);
        ASSERT_TRUE(updated->changes);
        std::map<std::string, Verdict> told;
        if (changed)
            told[m_tree / "grows.txt"] = Verdict::Modified;
        EXPECT_EQ(changesOf(*updated->changes), told);
        EXPECT_EQ(m_counts.of(Verdict::Ok), changed ? 3u : 4u);
        // The database belongs to the new catalog, one digest for each file: the earlier ones kept.
        auto after = digestsOf(m_data);
        ASSERT_EQ(after.size(), 4u);
        for (const auto& [path, digest] : before) {
            if (path != "/grows.txt" || !changed) {
                EXPECT_EQ(after[path], digest) << path;
            }
        }
        EXPECT_NE(after["/grows.txt"], catalogdb::DigestBytes {});
    }
}

// Digests that are not those the earlier scan wrote, or a database of another catalog, are never
// kept whole: the earlier files are read to tell, and they say the database cannot be used.
TEST_F(Update, EarlierDigestsThatDoNotBelongAreNotKept)
{
    for (const bool otherCatalog : { false, true }) {
        SCOPED_TRACE(otherCatalog);
        ASSERT_TRUE(scan(m_store, nullptr));
        if (otherCatalog) {
            // A file named otherwise for a while: a catalog of the same size, another all the same.
            std::filesystem::rename(m_tree / "goes.txt", m_tree / "gone.txt");
            ASSERT_TRUE(scan(m_freshStore, nullptr));
            std::filesystem::rename(m_tree / "gone.txt", m_tree / "goes.txt");
            ASSERT_EQ(readFile(m_freshData / "disc.xml").size(), readFile(m_data / "disc.xml").size());
            writeFile(m_data / "disc.sqlite", readFile(m_freshData / "disc.sqlite"));
        } else {
            catalogdb::SqliteConnection connection(m_data / "disc.sqlite", SQLITE_OPEN_READWRITE, nullptr);
            connection.execute(
                "UPDATE digests SET digest = zeroblob(16) WHERE entry = (SELECT min(entry) FROM digests)");
        }
        const auto before = dataFiles(m_data);
        std::atomic<int> filesRead = 0;
        fakes::FaultyFileReading counting(m_realReading);
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, nullptr, true,
            DigestAlgorithm::Xxh128, &counting, readWhenAsked(filesRead) };
        m_box.queueAnswer(platform::MessageAnswer::Yes);
        EXPECT_EQ(scan::genXml(context, m_tree.path(), "disc").error(), scan::ScanFailure::EarlierUnusable);
        EXPECT_EQ(filesRead, 1);
        EXPECT_TRUE(counting.opened().empty());
        EXPECT_EQ(dataFiles(m_data), before);
    }
}

// Past the files that may wait for the end of the walk, the earlier files are read and the files
// held against them; the entries written are then never asked for.
TEST_F(Update, PastTheFilesThatMayWaitTheEarlierFilesAreRead)
{
    ASSERT_TRUE(scan(m_store, nullptr));
    std::atomic<int> filesRead = 0;
    scan::EarlierComparison comparison(readWhenAsked(filesRead), m_tree.path(), nullptr, 3);
    platform::DirEntry entry;
    entry.kind = platform::EntryKind::File;
    for (const char* name : { "a", "b", "c", "d" }) {
        entry.name = name;
        comparison.add(m_tree.path(), entry, 0);
    }
    comparison.finishWalk([]() -> std::optional<catalogdb::EntriesWritten> {
        ADD_FAILURE() << "entries asked for";
        return std::nullopt;
    });
    EXPECT_EQ(filesRead, 1);
    EXPECT_EQ(changesOf(comparison.changes()),
        (std::map<std::string, Verdict> { { m_tree / "a", Verdict::Added }, { m_tree / "b", Verdict::Added },
            { m_tree / "c", Verdict::Added }, { m_tree / "d", Verdict::Added },
            { m_tree / "same.bin", Verdict::Missing }, { m_tree / "sub/same.txt", Verdict::Missing },
            { m_tree / "grows.txt", Verdict::Missing }, { m_tree / "goes.txt", Verdict::Missing } }));
}

// Digests copied that are not those checked fail the writer, and a writer that failed tells no
// entries rather than leave the walk waiting for it.
TEST_F(Update, AWriterThatFailedTellsNoEntries)
{
    ASSERT_TRUE(scan(m_store, nullptr));
    const auto kept = catalogdb::readDigestsToKeep(m_fileSystem, m_data / "disc.sqlite", m_data / "disc.xml", 1000);
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->catalog.digestCount, 4);
    auto replacement = m_fileSystem.beginReplacement(m_freshData / "disc.sqlite");
    ASSERT_TRUE(replacement);
    scan::ScanDatabase database(**replacement);
    database.beginDisk("disc");
    const auto written = database.entriesWritten();
    ASSERT_TRUE(written);
    EXPECT_EQ(written->count, 1);
    database.copyDigests(kept->file, kept->catalog.digestCount + 1, kept->catalog.digestsHash);
    EXPECT_FALSE(database.entriesWritten());
    EXPECT_THROW(database.wait(), catalogdb::DatabaseWriteFailed);
}

} // namespace
} // namespace mellowby::verify
