// Verification of catalogs scanned from real trees: every verdict, what is recorded in the database
// and that it still belongs to its catalog, the wrong disc, and a Data folder that cannot be written.

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"
#include "catalogdb/verifications.h"
#include "verify/catalogverifier.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <ranges>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "digest/digesttesting.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "fakes/faultyfilereading.h"
#include "fakes/faultyfilesystem.h"
#include "platform/error.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/nesteddatafolder.h"

namespace mellowby::verify {
namespace {

using digest::DigestAlgorithm;
using tests::readFile;
using tests::writeFile;

// The contents of path changed in place at offset, its modification time put back as it was.
void rot(const std::string& path, std::size_t offset)
{
    struct stat before { };
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    std::string bytes = readFile(path);
    bytes.at(offset) = static_cast<char>(bytes.at(offset) ^ 0x20);
    writeFile(path, bytes);
    const timespec times[2] = { before.st_atim, before.st_mtim };
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class Verify : public ::testing::Test {
protected:
    // The disc is a volume of its own mounted at the tree; another lies beside it.
    Verify()
    {
        std::filesystem::create_directories(m_tree / "sub");
        writeFile(m_tree / "ok.txt", "whole");
        writeFile(m_tree / "sub/rot.bin", tests::randomBytes(300 * 1024, 3));
        writeFile(m_tree / "grow.txt", "short");
        writeFile(m_tree / "gone.txt", "soon gone");
        writeFile(m_tree / "sub/bad.bin", tests::randomBytes(64 * 1024, 4));
        writeFile(m_tree / "skip.log", "the filter keeps it out");
        m_settings.ifUseOption = true;
        m_settings.NoFileStr = "LOG";
        m_volumes.mounted = { { "disc-uuid", "DISC", "iso9660", 1000, "/dev/sr0", m_tree.path(), "/" },
            { "other-uuid", "OTHER", "ext4", 2000, "/dev/sdb1", m_other.path(), "/" } };
    }

    void scan(std::optional<DigestAlgorithm> checksums)
    {
        scan::ScanContext context { m_store, m_settings, m_lister, m_box, m_dates, nullptr, nullptr, &m_volumes, true,
            checksums, &m_realReading };
        ASSERT_TRUE(scan::genXml(context, m_tree.path(), "disc"));
    }

    // rot.bin decayed, grow.txt grew, gone.txt went, new.txt and new.log came.
    void change()
    {
        rot(m_tree / "sub/rot.bin", 200 * 1024);
        writeFile(m_tree / "grow.txt", "longer now");
        std::filesystem::remove(m_tree / "gone.txt");
        writeFile(m_tree / "sub/new.txt", "new");
        writeFile(m_tree / "new.log", "filtered out");
    }

    std::expected<VerifyOutcome, VerifyProblem> verify(VerifyRequest request = { "disc", {}, false })
    {
        m_rows.clear();
        const VerifyServices services { m_store, m_lister, m_reading, m_volumes };
        const VerifyCallbacks callbacks { [this](const VerdictRow& row) { m_rows[row.name] = row; }, {}, nullptr };
        return verifyCatalog(services, request, callbacks);
    }

    std::map<std::string, Verdict> verdicts() const
    {
        std::map<std::string, Verdict> verdicts;
        for (const auto& [name, row] : m_rows)
            verdicts[name] = row.verdict;
        return verdicts;
    }

    std::string database() const { return m_data / "disc.sqlite"; }

    tests::TemporaryFolder m_tree;
    tests::TemporaryFolder m_other;
    tests::NestedDataFolder m_data;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
    fakes::FakeVolumes m_volumes;
    platform::LinuxFileReading m_realReading;
    fakes::FaultyFileReading m_reading { m_realReading };
    std::map<std::string, VerdictRow> m_rows;
};

TEST_F(Verify, EveryVerdictFromARealTreeWithDigests)
{
    scan(DigestAlgorithm::Xxh128);
    const std::string database = readFile(this->database());
    auto untouched = verify();
    ASSERT_TRUE(untouched);
    EXPECT_TRUE(untouched->counts.allOk());
    EXPECT_EQ(untouched->counts.text(), "完好 5，损坏 0，已修改 0，缺失 0，新增 0，无法读取 0");
    EXPECT_EQ(untouched->scannedFolder, m_tree.path());

    change();
    m_reading.failReadsAt(m_tree / "sub/bad.bin", 4096, EIO);
    const auto outcome = verify();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(verdicts(),
        (std::map<std::string, Verdict> { { "ok.txt", Verdict::Ok }, { "rot.bin", Verdict::Rotten },
            { "grow.txt", Verdict::Modified }, { "gone.txt", Verdict::Missing }, { "new.txt", Verdict::Added },
            { "bad.bin", Verdict::Unreadable } }));
    EXPECT_EQ(outcome->counts.text(), "完好 1，损坏 1，已修改 1，缺失 1，新增 1，无法读取 1");
    EXPECT_FALSE(outcome->counts.allOk());
    EXPECT_EQ(
        m_rows.at("bad.bin").detail, "在第 4096 字节处读取出错（" + platform::errorFromErrno(EIO).description + "）");
    EXPECT_EQ(m_rows.at("bad.bin").location, m_tree / "sub/bad.bin");
    EXPECT_EQ(m_rows.at("gone.txt").location, m_tree / "gone.txt");
    const std::string rotten = m_rows.at("rot.bin").detail;
    EXPECT_TRUE(rotten.starts_with("xxh128 校验和：目录中 ")) << rotten;
    EXPECT_NE(rotten.find("，现在 " + tests::digestText(readFile(m_tree / "sub/rot.bin"))), std::string::npos)
        << rotten;
    EXPECT_TRUE(m_rows.at("grow.txt").detail.starts_with("大小：目录中 5 字节，现在 10 字节"))
        << m_rows.at("grow.txt").detail;

    // The files found whole have their time recorded; the rows of the scan are as they were, so the
    // database still belongs to its catalog.
    EXPECT_TRUE(outcome->recorded);
    EXPECT_NE(readFile(this->database()), database);
    EXPECT_EQ(catalogdb::checkDatabase(m_fileSystem, this->database(), m_data / "disc.xml"),
        catalogdb::DatabaseState::Belongs);
    const auto files = catalogdb::readCatalogFiles(m_fileSystem, this->database(), m_data / "disc.xml");
    ASSERT_TRUE(files);
    const auto times = catalogdb::readVerifications(m_fileSystem, this->database());
    ASSERT_TRUE(times);
    std::vector<std::string> recorded;
    for (const auto& file : files->files) {
        if (times->contains(file.entry))
            recorded.push_back(file.path);
    }
    // All five at the first verification, only ok.txt newer at the second.
    EXPECT_EQ(recorded.size(), 5u);
    const auto okEntry = std::ranges::find(files->files, "/ok.txt", &catalogdb::CatalogFile::path)->entry;
    const auto growEntry = std::ranges::find(files->files, "/grow.txt", &catalogdb::CatalogFile::path)->entry;
    EXPECT_GT(times->at(okEntry), times->at(growEntry));
    EXPECT_TRUE(m_data.strayFiles().empty());
}

TEST_F(Verify, WithoutDigestsSizesAndTimesDecideAndReadingFindsUnreadablePlaces)
{
    scan(std::nullopt);
    // A database the scan wrote has no table of verifications: none recorded yet.
    EXPECT_EQ(catalogdb::readVerifications(m_fileSystem, database()), (std::map<std::int64_t, std::int64_t> {}));
    change();
    m_reading.failReadsAt(m_tree / "sub/bad.bin", 8192, EIO);
    ASSERT_TRUE(verify());
    EXPECT_EQ(m_rows.at("rot.bin").verdict, Verdict::Ok);
    EXPECT_EQ(m_rows.at("bad.bin").verdict, Verdict::Ok);
    EXPECT_EQ(m_rows.at("grow.txt").verdict, Verdict::Modified);
    EXPECT_TRUE(m_reading.opened().empty());

    ASSERT_TRUE(verify({ "disc", {}, true }));
    EXPECT_EQ(m_rows.at("rot.bin").verdict, Verdict::Ok); // nothing to compare its contents with
    EXPECT_EQ(m_rows.at("bad.bin").verdict, Verdict::Unreadable);
    EXPECT_EQ(
        m_rows.at("bad.bin").detail, "在第 8192 字节处读取出错（" + platform::errorFromErrno(EIO).description + "）");
}

TEST_F(Verify, ADiscTakenOutPartWayLeavesTheFilesNotReadUnreadableAndSaysWhy)
{
    scan(DigestAlgorithm::Xxh128);
    // Out once the first read has begun: what follows it fails.
    std::atomic<bool> first = true;
    m_reading.beforeEachRead([&](const std::string&) {
        if (first.exchange(false))
            m_reading.failEverything(ENOMEDIUM);
    });
    const auto outcome = verify();
    ASSERT_TRUE(outcome);
    const std::string taken = "光盘已取出或驱动器已断开（" + platform::errorFromErrno(ENOMEDIUM).description + "）";
    // Every file has one verdict: whole when read before, else unreadable for that one reason.
    EXPECT_EQ(m_rows.size(), 5U);
    for (const auto& [name, row] : m_rows) {
        if (row.verdict != Verdict::Ok) {
            EXPECT_EQ(row.verdict, Verdict::Unreadable) << name;
            EXPECT_EQ(row.detail, taken) << name;
            EXPECT_TRUE(row.location.starts_with(m_tree.path())) << row.location;
        }
    }
    EXPECT_GE(outcome->counts.of(Verdict::Ok), 1U);
    EXPECT_GE(outcome->counts.of(Verdict::Unreadable), 3U);
}

TEST_F(Verify, AFileWithoutPermissionIsUnreadable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    scan(DigestAlgorithm::Sha256);
    std::filesystem::permissions(m_tree / "ok.txt", std::filesystem::perms::none);
    const auto outcome = verify();
    std::filesystem::permissions(m_tree / "ok.txt", std::filesystem::perms::owner_all);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(m_rows.at("ok.txt").verdict, Verdict::Unreadable);
    EXPECT_EQ(m_rows.at("ok.txt").detail, "无法读取（" + platform::errorFromErrno(EACCES).description + "）");
}

TEST_F(Verify, WhatCannotBeVerifiedSaysWhy)
{
    EXPECT_EQ(verify({ "nothing", {}, false }).error().failure, VerifyFailure::NoCatalog);
    scan(DigestAlgorithm::Xxh128);

    const auto wrong = verify({ "disc", m_other.path(), false });
    EXPECT_EQ(wrong.error().failure, VerifyFailure::WrongDisc);
    EXPECT_NE(wrong.error().text.find("OTHER"), std::string::npos) << wrong.error().text;
    // At the mount point of the right disc, wherever it is mounted now.
    ASSERT_TRUE(verify({ "disc", m_tree.path(), false }));

    m_volumes.mounted.at(0).uuid = "another-disc";
    EXPECT_EQ(verify().error().failure, VerifyFailure::WrongDisc);
    m_volumes.mounted.erase(m_volumes.mounted.begin());
    EXPECT_EQ(verify().error().failure, VerifyFailure::DiscNotFound);

    std::filesystem::remove(database());
    EXPECT_EQ(verify().error().failure, VerifyFailure::NoDatabase);
    EXPECT_TRUE(m_rows.empty());
}

TEST_F(Verify, ThousandsOfFilesFoundWholeAreEachRecordedWhenTheyWereFound)
{
    // More than the recorder takes at once, so its thread writes them in several turns.
    std::filesystem::create_directories(m_tree / "many");
    for (int i = 0; i < 5000; ++i)
        writeFile(m_tree / ("many/" + std::to_string(i) + ".txt"), std::to_string(i));
    scan(DigestAlgorithm::Xxh128);
    const auto before = std::chrono::system_clock::now().time_since_epoch();
    const auto outcome = verify();
    const auto after = std::chrono::system_clock::now().time_since_epoch();
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(outcome->recorded);
    const auto times = catalogdb::readVerifications(m_fileSystem, database());
    ASSERT_TRUE(times);
    EXPECT_EQ(times->size(), 5005U);
    const auto [earliest, latest] = std::ranges::minmax(*times | std::views::values);
    EXPECT_GE(earliest, std::chrono::duration_cast<std::chrono::nanoseconds>(before).count());
    EXPECT_LE(latest, std::chrono::duration_cast<std::chrono::nanoseconds>(after).count());
    EXPECT_EQ(
        catalogdb::checkDatabase(m_fileSystem, database(), m_data / "disc.xml"), catalogdb::DatabaseState::Belongs);
}

TEST_F(Verify, AStoppedVerificationRecordsNothingAndLeavesNoCopy)
{
    scan(DigestAlgorithm::Xxh128);
    const std::string before = readFile(database());
    // Asked while the first file is read, which takes long enough for the stop to be seen.
    std::atomic<bool> stop = false;
    m_reading.beforeEachRead([&](const std::string&) {
        if (!stop.exchange(true))
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    const VerifyServices services { m_store, m_lister, m_reading, m_volumes };
    const auto outcome = verifyCatalog(services, { "disc", {}, false }, { {}, {}, &stop });
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().failure, VerifyFailure::Stopped);
    EXPECT_EQ(readFile(database()), before);
    EXPECT_TRUE(m_data.strayFiles().empty());
}

TEST_F(Verify, AReadOnlyDataFolderOrAFullDiskVerifiesAndRecordsNothing)
{
    scan(DigestAlgorithm::Xxh128);
    const std::string before = readFile(database());
    writeFile(m_tree / "grow.txt", "longer now");
    // The copy cannot be made at all, or its writing fails part way.
    for (const int error : { EROFS, ENOSPC }) {
        SCOPED_TRACE(error);
        fakes::FaultyFileSystem faulty(m_fileSystem);
        if (error == EROFS)
            faulty.failOnCall(fakes::FaultyFileSystem::Operation::CreateFile, 1, platform::errorFromErrno(error));
        else
            faulty.failWritesAfter(8192, platform::errorFromErrno(error));
        const catalog::CatalogStore store(m_data.path(), faulty);
        const VerifyServices services { store, m_lister, m_reading, m_volumes };
        const auto outcome = verifyCatalog(services, { "disc", {}, false }, {});
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->counts.of(Verdict::Ok), 4u);
        EXPECT_EQ(outcome->counts.of(Verdict::Modified), 1u);
        EXPECT_FALSE(outcome->recorded);
        EXPECT_EQ(outcome->notRecorded, platform::errorFromErrno(error).description);
        EXPECT_EQ(readFile(database()), before);
        EXPECT_TRUE(m_data.strayFiles().empty());
    }
}

} // namespace
} // namespace mellowby::verify
