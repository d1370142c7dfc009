// What a run says of files that cannot be read, change, vanish, of a disc taken out part way, of a
// stop, and that it keeps within its memory.

#include "digesttesting.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include <sys/stat.h>

#include "digest/mediumwatch.h"
#include "digest/readingplan.h"
#include "fakes/faultyfilereading.h"
#include "support/unprivileged.h"

namespace mellowby::tests {
namespace {

using digest::FileStatus;
using digest::RunEnd;

// One reader at a time in the order given, with buffers of 128 KiB.
digest::DigestOptions oneReader()
{
    digest::DigestOptions options;
    options.memoryLimit = 1024 * 1024;
    options.storage = platform::StorageKind::Optical;
    return options;
}

class ReadFaults : public ::testing::Test {
protected:
    std::string add(const std::string& name, std::size_t size)
    {
        std::string path = m_dir / name;
        writeFile(path, randomBytes(size, static_cast<unsigned>(m_paths.size() + 1)));
        m_paths.push_back(path);
        return path;
    }
    std::vector<std::string> paths() const { return m_paths; }

    TemporaryFolder m_dir;
    std::vector<std::string> m_paths;
    platform::LinuxFileReading m_real;
    fakes::FaultyFileReading m_reading { m_real };
};

TEST_F(ReadFaults, UnreadableChangedAndVanishedFilesAreSaidAndTheNextAreDigested)
{
    const auto bad = add("bad", 300000);
    // Small files are read and digested by the reader alone.
    const auto smallBad = add("small bad", 30000);
    const auto changing = add("changing", 400000);
    const auto before = add("changed before", 1000);
    const auto good = add("good", 200000);
    m_reading.failReadsAt(bad, 200000, EIO);
    m_reading.failReadsAt(smallBad, 10000, EIO);
    m_reading.changeWhileRead(changing);
    auto files = filesToDigest(paths());
    files[3].modified = 1; // not the time it has
    files.push_back(fileToDigest(m_dir / "vanished"));
    files.back().size = 10;

    const auto outcomes = digestAll(m_reading, files, oneReader());
    EXPECT_EQ(outcomes.summary.end, RunEnd::Complete);

    const auto& unreadable = outcomes.at(bad);
    EXPECT_EQ(unreadable.status, FileStatus::Unreadable);
    EXPECT_EQ(unreadable.errorOffset, 200000U);
    EXPECT_EQ(unreadable.error, platform::errorFromErrno(EIO));
    EXPECT_FALSE(unreadable.digest);

    EXPECT_EQ(outcomes.at(smallBad).status, FileStatus::Unreadable);
    EXPECT_EQ(outcomes.at(smallBad).errorOffset, 10000U);

    EXPECT_EQ(outcomes.at(changing).status, FileStatus::Changed);
    EXPECT_FALSE(outcomes.at(changing).digest);
    EXPECT_EQ(outcomes.at(changing).stamp->size, 400000U);
    // A file that is not the one seen is not read at all.
    EXPECT_EQ(outcomes.at(before).status, FileStatus::Changed);
    EXPECT_EQ(m_reading.readsOf(before), 0);

    EXPECT_EQ(outcomes.at(m_dir / "vanished").status, FileStatus::Missing);
    EXPECT_EQ(outcomes.at(m_dir / "vanished").error.number, ENOENT);

    EXPECT_EQ(outcomes.at(good).status, FileStatus::Digested);
    EXPECT_EQ(outcomes.at(good).digest->text(), digestText(readFile(good)));
    // Every file counts in full, read or not, so that progress ends at its total.
    EXPECT_EQ(outcomes.progress.filesDone, 6U);
    EXPECT_EQ(outcomes.progress.bytesDone, outcomes.progress.bytesTotal);
    EXPECT_EQ(outcomes.progress.bytesTotal, 300000U + 30000 + 400000 + 1000 + 200000 + 10);
}

// Permissions are what a real file system refuses; root is refused nothing, so the run happens as
// the user nobody there.
TEST_F(ReadFaults, RealFileWithoutPermissionIsUnreadable)
{
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0755), 0);
    const auto locked = add("locked", 100);
    const auto open = add("open", 100);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    const int result = runUnprivileged([&] {
        platform::LinuxFileReading reading;
        const auto outcomes = digestAll(reading, filesToDigest(paths()), oneReader());
        const auto& refused = outcomes.at(locked);
        if (refused.status != FileStatus::Unreadable || refused.error.number != EACCES || refused.errorOffset != 0)
            return 1;
        return outcomes.at(open).status == FileStatus::Digested ? 0 : 2;
    });
    if (result == 125)
        GTEST_SKIP() << "running as root, which reads every file, and cannot give root up here";
    EXPECT_EQ(result, 0);
}

TEST_F(ReadFaults, DiscTakenOutEndsTheRunWithoutCallingFilesUnreadable)
{
    for (int i = 0; i < 6; ++i)
        add("file" + std::to_string(i), 300000);
    const std::string third = paths()[2];
    // Out while the third file is read.
    m_reading.beforeEachRead([&](const std::string& path) {
        if (path == third)
            m_reading.failEverything(ENOMEDIUM);
    });
    const auto outcomes = digestAll(m_reading, filesToDigest(paths()), oneReader());
    EXPECT_EQ(outcomes.summary.end, RunEnd::MediumGone);
    EXPECT_EQ(outcomes.summary.mediumError, platform::errorFromErrno(ENOMEDIUM));
    EXPECT_EQ(outcomes.order, (std::vector<std::string> { m_paths[0], m_paths[1] }));
    EXPECT_EQ(m_reading.readsOf(m_paths[3]), 0);
}

// An I/O error alone may be a bad place: only a run of them ends the run.
TEST_F(ReadFaults, IoErrorsOnEveryFileInARowEndTheRun)
{
    const std::size_t count = digest::MediumWatch::kFailuresInARow + 5;
    for (std::size_t i = 0; i < count; ++i)
        add("file" + std::to_string(i), 1000);
    m_reading.failEverything(EIO);
    const auto outcomes = digestAll(m_reading, filesToDigest(paths()), oneReader());
    EXPECT_EQ(outcomes.summary.end, RunEnd::MediumGone);
    EXPECT_EQ(outcomes.summary.mediumError.number, EIO);
    EXPECT_EQ(outcomes.order.size(), digest::MediumWatch::kFailuresInARow - 1);
    for (const auto& [path, outcome] : outcomes.byPath)
        EXPECT_EQ(outcome.status, FileStatus::Unreadable);
}

TEST_F(ReadFaults, StopPartWayEndsBetweenTwoReads)
{
    const auto first = add("first", 1000);
    const auto big = add("big", 1024 * 1024);
    add("after", 1000);
    digest::DigestRun* running = nullptr;
    std::atomic<int> readsOfBig = 0;
    m_reading.beforeEachRead([&](const std::string& path) {
        if (path == big && ++readsOfBig == 2)
            running->stop();
    });
    // The first file, read whole before the stop, is reported; the one left part way is not.
    std::vector<std::string> reported;
    digest::DigestRun run(
        m_reading, oneReader(), [&](const digest::FileDigest& outcome) { reported.push_back(outcome.file.path); });
    running = &run;
    for (const auto& file : filesToDigest(paths()))
        run.add(file);
    run.finishAdding();
    EXPECT_EQ(run.wait().end, RunEnd::Stopped);
    EXPECT_EQ(reported, std::vector<std::string> { first });
    EXPECT_EQ(readsOfBig, 2);
    EXPECT_FALSE(run.add(fileToDigest(first)));
}

// Many files with long names given faster than they are read: the giver waits at the bound, the
// run holds no more than its limit, buffers included, and nothing is lost.
TEST_F(ReadFaults, MemoryStaysWithinTheLimit)
{
    const std::string longName(200, 'n');
    std::vector<digest::FileToDigest> files;
    files.reserve(3001);
    for (int i = 0; i < 3000; ++i)
        files.push_back({ m_dir / (longName + std::to_string(i)), 10, std::nullopt, 0 });
    for (int i = 0; i < 3; ++i)
        writeFile(files[i].path, "0123456789");
    add("big", 3 * 1024 * 1024);
    files.push_back(fileToDigest(paths().back()));
    m_reading.beforeEachRead([](const std::string&) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });

    const auto outcomes = digestAll(m_reading, files, oneReader());
    EXPECT_EQ(outcomes.summary.end, RunEnd::Complete);
    EXPECT_EQ(outcomes.byPath.size(), files.size());
    EXPECT_EQ(outcomes.at(files[0].path).status, FileStatus::Digested);
    EXPECT_EQ(outcomes.at(paths().back()).status, FileStatus::Digested);
    const auto plan = digest::planFor(*oneReader().storage, oneReader().memoryLimit, 1);
    EXPECT_GE(outcomes.summary.peakMemory, plan.buffersPerLane * plan.bufferSize);
    EXPECT_LE(outcomes.summary.peakMemory, oneReader().memoryLimit);
}

} // namespace
} // namespace mellowby::tests
