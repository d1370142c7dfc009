// How a run reads: in the order of the data on devices with a head, several files at once on
// the others, within its memory.

#include "digest/readingplan.h"
#include "digesttesting.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

#include "fakes/faultyfilereading.h"

namespace mellowby::tests {
namespace {

using platform::StorageKind;

constexpr std::size_t kMiB = 1024 * 1024;

TEST(ReadingPlan, OneReaderInDataOrderWhereAHeadMovesSeveralElsewhere)
{
    for (const auto kind : { StorageKind::Optical, StorageKind::Rotational }) {
        const auto plan = digest::planFor(kind, 64 * kMiB, 8);
        EXPECT_EQ(plan, (digest::ReadingPlan { 1, true, 4, 8 * kMiB }));
    }
    EXPECT_EQ(digest::planFor(StorageKind::Solid, 64 * kMiB, 8), (digest::ReadingPlan { 4, false, 4, 2 * kMiB }));
    EXPECT_EQ(digest::planFor(StorageKind::Unknown, 64 * kMiB, 1).lanes, 2U);
    // Buffers never get smaller than 64 KiB, whatever the limit.
    EXPECT_EQ(digest::planFor(StorageKind::Solid, kMiB, 4).bufferSize, 64U * 1024);
    EXPECT_EQ(digest::pendingLimitFor(64 * kMiB), 16 * kMiB);
}

digest::HeldFile held(const std::string& path, std::uint64_t size, std::uint64_t given)
{
    digest::HeldFile file;
    file.file = { path, size, std::nullopt, 0 };
    file.given = given;
    return file;
}

std::vector<std::string> pathsOf(const std::vector<digest::HeldFile>& files)
{
    std::vector<std::string> paths;
    for (const auto& file : files)
        paths.push_back(file.file.path);
    return paths;
}

// A file whose place is not known (empty, not told) follows the file given before it.
TEST(PlacementOrder, FilesFollowTheirDataAndTheUnplacedKeepTheirNeighbour)
{
    platform::LinuxFileReading real;
    fakes::FaultyFileReading reading(real);
    reading.place("c", 100);
    reading.place("a", 300);
    reading.place("unplaced", std::nullopt);
    reading.place("b", 200);
    std::vector<digest::HeldFile> files { held("a", 1, 0), held("empty", 0, 1), held("b", 1, 2), held("c", 1, 3),
        held("unplaced", 1, 4) };
    digest::PlacementOrder order(reading);
    order.sort(files);
    EXPECT_EQ(pathsOf(files), (std::vector<std::string> { "c", "unplaced", "b", "a", "empty" }));
}

// ISO 9660 and UDF tell nothing: the order given stands, and after the first refusal nothing
// more is asked.
TEST(PlacementOrder, FileSystemThatDoesNotTellKeepsTheOrderGiven)
{
    platform::LinuxFileReading real;
    fakes::FaultyFileReading reading(real);
    reading.place("b", 1);
    std::vector<digest::HeldFile> files { held("x", 1, 0), held("b", 1, 1), held("a", 1, 2) };
    digest::PlacementOrder order(reading);
    order.sort(files);
    EXPECT_EQ(pathsOf(files), (std::vector<std::string> { "x", "b", "a" }));
}

// On a device with a head, one file is read after another, each whole before the next is
// opened; the files waiting when the reader comes back for more go in the order of their data.
TEST(PlacementOrder, RunOnARotationalDiskReadsFileAfterFileInDataOrder)
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
    digest::DigestRun run(reading, options, [&](digest::FileDigest outcome) { reported.push_back(outcome.file.path); });
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
