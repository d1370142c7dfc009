#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/endlesslister.h"
#include "fakes/fakedirectorylister.h"
#include "fakes/fakemessagebox.h"
#include "fakes/gatedlister.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/backgroundscan.h"
#include "support/dates.h"
#include "support/temporaryfolder.h"

namespace mellowby::scan {
using namespace catalog;
namespace {

using namespace std::chrono_literals;
using fakes::EndlessLister;
using fakes::FakeDirectoryLister;
using fakes::GatedLister;
using tests::kMarch15;

// Throws what is not a std::exception, which the scanner does not trap.
class ThrowingLister final : public fakes::PathLister {
public:
    std::expected<void, platform::Error> listPath(const std::string&, std::vector<platform::DirEntry>&) override
    {
        throw 42;
    }
};

class BackgroundScanTest : public ::testing::Test {
protected:
    std::string dataDir() const { return m_folder.path(); }
    ScanContext context(platform::IDirectoryLister& lister)
    {
        return { m_store, m_settings, lister, m_box, m_dates, nullptr };
    }
    std::vector<std::string> dataFiles() const { return tests::namesIn(dataDir()); }

    tests::TemporaryFolder m_folder;
    app::Settings m_settings;
    platform::LinuxFileSystem m_fileSystem;
    CatalogStore m_store { m_folder.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    DateFormatter m_dates { "zh_CN" };
};

TEST_F(BackgroundScanTest, ProgressIsVisibleWhileTheWalkRunsAndTotalsAfterIt)
{
    GatedLister lister;
    lister.tree.addDirectory("/r",
        { FakeDirectoryLister::file("1.txt", 10, kMarch15), FakeDirectoryLister::file("2.txt", 20, kMarch15),
            FakeDirectoryLister::file("3.txt", 30, kMarch15), FakeDirectoryLister::directory("a", kMarch15),
            FakeDirectoryLister::directory("b", kMarch15) });
    lister.tree.addDirectory("/r/a", {});
    lister.tree.addDirectory("/r/b", { FakeDirectoryLister::file("4.txt", 40, kMarch15) });
    lister.holdAt("/r/b");

    BackgroundScan scan(context(lister), "/r", "disc");
    lister.waitUntilHeld();
    // Counts are published as each directory is entered: /r/a was the last one.
    const ScanProgress halfWay = scan.progress();
    EXPECT_EQ(halfWay.directories, 2u);
    EXPECT_EQ(halfWay.files, 3u);
    EXPECT_EQ(halfWay.bytes, 60u);
    EXPECT_EQ(halfWay.currentDirectory, "/r/a");
    EXPECT_FALSE(scan.finished());
    EXPECT_FALSE(scan.waitFor(10ms));

    lister.release();
    ASSERT_TRUE(scan.waitFor(10s));
    ASSERT_TRUE(scan.result());
    EXPECT_EQ(scan.result()->xmlPath, dataDir() + "/disc.xml");
    const ScanProgress done = scan.progress();
    EXPECT_EQ(done.directories, 3u);
    EXPECT_EQ(done.files, 4u);
    EXPECT_EQ(done.bytes, 100u);
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.sqlite", "disc.xml" }));
}

TEST_F(BackgroundScanTest, StoppedWalkWritesNothingAndKeepsTheOldCatalog)
{
    tests::writeFile(dataDir() + "/disc.xml", "old catalog");
    tests::writeFile(dataDir() + "/disc.idx", "old twin");
    m_box.queueAnswer(platform::MessageAnswer::Yes); // replace it
    GatedLister lister;
    lister.tree.addDirectory("/r", { FakeDirectoryLister::directory("a", kMarch15) });
    lister.tree.addDirectory("/r/a", { FakeDirectoryLister::directory("b", kMarch15) });
    lister.tree.addDirectory("/r/a/b", {});
    lister.holdAt("/r/a");

    BackgroundScan scan(context(lister), "/r", "disc");
    lister.waitUntilHeld();
    EXPECT_FALSE(scan.stopRequested());
    scan.requestStop();
    EXPECT_TRUE(scan.stopRequested());
    lister.release();
    ASSERT_TRUE(scan.waitFor(10s));
    EXPECT_EQ(scan.result(), std::unexpected(ScanFailure::Stopped));
    EXPECT_EQ(dataFiles(), (std::vector<std::string> { "disc.idx", "disc.xml" }));
    EXPECT_EQ(tests::readFile(dataDir() + "/disc.xml"), "old catalog");
    EXPECT_EQ(tests::readFile(dataDir() + "/disc.idx"), "old twin");
}

TEST_F(BackgroundScanTest, DestroyingStopsTheWalkAndWaitsForIt)
{
    EndlessLister lister;
    const auto start = std::chrono::steady_clock::now();
    {
        BackgroundScan scan(context(lister), "/r", "endless");
        while (lister.calls < 5)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    // The thread is gone: nothing lists any more, now or later.
    EXPECT_EQ(lister.inFlight, 0);
    const int calls = lister.calls;
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(lister.calls, calls);
    EXPECT_TRUE(dataFiles().empty());
}

TEST_F(BackgroundScanTest, TheFilterIsTheOneOfTheWalksStart)
{
    m_settings = { "", "JPG", true, true };
    GatedLister lister;
    lister.tree.addDirectory("/r",
        { FakeDirectoryLister::directory("a", kMarch15), FakeDirectoryLister::file("x.jpg", 1, kMarch15),
            FakeDirectoryLister::file("x.doc", 1, kMarch15) });
    lister.tree.addDirectory("/r/a", {});
    lister.holdAt("/r/a");

    BackgroundScan scan(context(lister), "/r", "disc");
    lister.waitUntilHeld();
    m_settings.ifUseOption = false; // saved while the walk runs: applies to the next one
    lister.release();
    ASSERT_TRUE(scan.waitFor(10s));
    ASSERT_TRUE(scan.result());
    EXPECT_EQ(scan.result()->totals.files, 1u);
}

// An exception that escaped the walk's thread would end the whole program; whatever is thrown
// ends the walk as a failure instead.
TEST_F(BackgroundScanTest, AnythingThrownEndsTheWalkAsAFailure)
{
    ThrowingLister lister;
    BackgroundScan scan(context(lister), "/r", "disc");
    ASSERT_TRUE(scan.waitFor(10s));
    EXPECT_EQ(scan.result(), std::unexpected(ScanFailure::Failed));
    EXPECT_TRUE(dataFiles().empty());
}

TEST_F(BackgroundScanTest, TheFinishedCallbackComesWithTheResultInPlace)
{
    FakeDirectoryLister lister;
    lister.addDirectory("/r", { FakeDirectoryLister::file("a.txt", 1, kMarch15) });
    std::atomic<bool> called = false;
    std::atomic<bool> resultWasReady = false;
    BackgroundScan* self = nullptr;
    std::mutex started;
    std::unique_lock lock(started);
    BackgroundScan scan(context(lister), "/r", "disc", [&] {
        const std::lock_guard wait(started); // until self is set
        resultWasReady = self->finished() && self->result().has_value();
        called = true;
    });
    self = &scan;
    lock.unlock();
    ASSERT_TRUE(scan.waitFor(10s));
    while (!called)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(resultWasReady);
}

TEST_F(BackgroundScanTest, AnUnreadableRootIsReportedAsSuch)
{
    FakeDirectoryLister lister;
    BackgroundScan scan(context(lister), "/nowhere", "disc");
    ASSERT_TRUE(scan.waitFor(10s));
    EXPECT_EQ(scan.result(), std::unexpected(ScanFailure::RootUnreadable));
    EXPECT_EQ(scan.progress().directories, 0u);
}

} // namespace
} // namespace mellowby::scan
