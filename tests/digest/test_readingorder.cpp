// How a run reads: in the order of the data on devices with a head, several files at once on
// the others, within its memory.

#include "digesttesting.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

#include "digest/readingplan.h"
#include "fakes/faultyfilereading.h"

namespace mellowby::tests {
namespace {

using platform::StorageKind;

constexpr std::size_t kMiB = 1024 * 1024;

TEST(ReadingPlan, OneReaderInDataOrderWhereAHeadMovesSeveralElsewhere)
{
    for (const auto kind : { StorageKind::Optical, StorageKind::Rotational }) {
        const auto plan = digest::planFor(kind, 64 * kMiB, 8);
        EXPECT_EQ(plan.lanes, 1U);
        EXPECT_TRUE(plan.inPlacementOrder);
        EXPECT_EQ(plan.bufferSize, kMiB);
    }
    const auto solid = digest::planFor(StorageKind::Solid, 64 * kMiB, 8);
    EXPECT_EQ(solid.lanes, 4U);
    EXPECT_FALSE(solid.inPlacementOrder);
    EXPECT_EQ(solid.bufferSize, kMiB);
    // Half of a small limit goes to buffers.
    EXPECT_EQ(digest::planFor(StorageKind::Rotational, 4 * kMiB, 1).bufferSize, 512U * 1024);
    EXPECT_EQ(digest::planFor(StorageKind::Unknown, 64 * kMiB, 1).lanes, 2U);
    // Buffers never get smaller than 64 KiB, whatever the limit.
    EXPECT_EQ(digest::planFor(StorageKind::Solid, kMiB, 4).bufferSize, 64U * 1024);
    EXPECT_EQ(digest::pendingLimitFor(64 * kMiB), 16 * kMiB);
}

// Files opened through reading, which tells the places given to it.
class PlacementOrder : public ::testing::Test {
protected:
    digest::OpenedFile opened(const std::string& name, std::size_t size)
    {
        writeFile(m_dir / name, std::string(size, 'x'));
        digest::OpenedFile file { .held = {}, .file = m_reading.openSequential(m_dir / name), .place = 0 };
        file.held.file = fileToDigest(m_dir / name);
        file.held.given = m_given++;
        return file;
    }
    std::vector<std::string> namesOf(const std::vector<digest::OpenedFile>& files) const
    {
        std::vector<std::string> names;
        names.reserve(files.size());
        for (const auto& file : files)
            names.push_back(file.held.file.path.substr(m_dir.path().size() + 1));
        return names;
    }

    TemporaryFolder m_dir;
    platform::LinuxFileReading m_real;
    fakes::FaultyFileReading m_reading { m_real };
    std::uint64_t m_given = 0;
};

// A file whose place is not known (empty, not yet written out, not opened) follows the file
// given before it.
TEST_F(PlacementOrder, FilesFollowTheirDataAndTheUnplacedKeepTheirNeighbour)
{
    m_reading.place(m_dir / "c", 100);
    m_reading.place(m_dir / "a", 300);
    m_reading.place(m_dir / "unplaced", std::nullopt);
    m_reading.place(m_dir / "b", 200);
    std::vector<digest::OpenedFile> files;
    for (const auto& [name, size] : { std::pair("a", 1), { "empty", 0 }, { "b", 1 }, { "c", 1 }, { "unplaced", 1 } })
        files.push_back(opened(name, size));
    digest::PlacementOrder order;
    order.sort(files);
    EXPECT_EQ(namesOf(files), (std::vector<std::string> { "c", "unplaced", "b", "a", "empty" }));
}

// ISO 9660 and UDF tell nothing: the order given stands, and after the first refusal nothing
// more is asked.
TEST_F(PlacementOrder, FileSystemThatDoesNotTellKeepsTheOrderGiven)
{
    m_reading.place(m_dir / "b", 1);
    std::vector<digest::OpenedFile> files;
    for (const char* name : { "x", "b", "a" })
        files.push_back(opened(name, 1));
    digest::PlacementOrder order;
    order.sort(files);
    EXPECT_EQ(namesOf(files), (std::vector<std::string> { "x", "b", "a" }));
}

// On a device with a head, one file is read after another, each whole before the next; the files
// waiting when the reader comes back for more go in the order of their data.
TEST(PlacementOrderOfARun, OnARotationalDiskFileAfterFileInDataOrder)
{
    TemporaryFolder dir;
    platform::LinuxFileReading real;
    fakes::FaultyFileReading reading(real);
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(dir / ("f" + std::to_string(i)));
        writeFile(paths.back(), randomBytes(1000, static_cast<unsigned>(i)));
        reading.place(paths.back(), static_cast<std::uint64_t>(100 - i));
    }
    std::vector<std::string> reads;
    std::mutex mutex;
    // The first file read holds the reader until the rest are given: they make one batch.
    std::atomic<bool> allGiven = false;
    reading.beforeEachRead([&](const std::string& path) {
        while (!allGiven)
            std::this_thread::yield();
        std::lock_guard lock(mutex);
        reads.push_back(path);
    });
    std::vector<std::string> reported;
    digest::DigestOptions options;
    options.storage = StorageKind::Rotational;
    digest::DigestRun run(
        reading, options, [&](const digest::FileDigest& outcome) { reported.push_back(outcome.file.path); });
    for (const auto& path : paths)
        run.add(fileToDigest(path));
    allGiven = true;
    run.finishAdding();
    EXPECT_EQ(run.wait().end, digest::RunEnd::Complete);
    // The reader took f0 to fk before the rest were given, and the rest in one batch after.
    ASSERT_EQ(reads.size(), 6U);
    const auto k = static_cast<std::size_t>(std::ranges::find(paths, reads.front()) - paths.begin());
    std::vector<std::string> expected(paths.rend() - static_cast<std::ptrdiff_t>(k) - 1, paths.rend());
    expected.insert(expected.end(), paths.rbegin(), paths.rend() - static_cast<std::ptrdiff_t>(k) - 1);
    EXPECT_EQ(reads, expected);
    EXPECT_EQ(reported, reads);
}

} // namespace
} // namespace mellowby::tests
