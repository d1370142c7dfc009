// Scans that list archives over real trees, where the walk and the lister's thread meet: a folder
// swapped after it was listed, and a lister held back while the walk runs ahead.

#include "catalogdb/sqlitehandles.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sqlite3.h>
#include <thread>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "fakes/hookedlister.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/scanner.h"
#include "support/nesteddatafolder.h"
#include "support/temporaryfolder.h"

namespace mellowby::scan {
namespace {

using tests::readFile;
using tests::writeFile;

// A tar of one member, "b.txt" holding "hello".
std::string tarOfOneFile()
{
    std::string header(512, '\0');
    header.replace(0, 5, "b.txt");
    header.replace(100, 7, "0000644");
    header.replace(124, 11, "00000000005");
    header.replace(136, 11, "00000000000");
    header[156] = '0';
    header.replace(257, 8,
        std::string("ustar\0"
                    "00",
            8));
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (const char c : header)
        sum += static_cast<unsigned char>(c);
    char field[8];
    std::snprintf(field, sizeof field, "%06o", sum);
    header.replace(148, 7, std::string(field, 6) + '\0');
    return header + "hello" + std::string(507 + 1024, '\0');
}

class ScanWithArchives : public ::testing::Test {
protected:
    std::expected<ScanResult, ScanFailure> scan(platform::IDirectoryLister& lister)
    {
        ScanContext context { m_store, m_settings, lister, m_box, m_dates };
        context.listArchives = true;
        return genXml(context, m_tree.path(), "disc");
    }

    tests::TemporaryFolder m_tree;
    tests::NestedDataFolder m_data;
    app::Settings m_settings;
    platform::LinuxDirectoryLister m_lister;
    platform::LinuxFileSystem m_realFileSystem;
    fakes::FaultyFileSystem m_fileSystem { m_realFileSystem };
    catalog::CatalogStore m_store { m_data.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    catalog::DateFormatter m_dates { "zh_CN" };
};

// A folder swapped for another after it was listed: its files named as archives are looked into in
// no other folder, and stay plain files; those of a folder left alone are listed.
TEST_F(ScanWithArchives, AFolderSwappedAfterItWasListedHasItsFilesLookedForNowhereElse)
{
    std::filesystem::create_directories(m_tree / "a/b");
    std::filesystem::create_directory(m_tree / "z");
    writeFile(m_tree / "a/packed.tar", std::string(2000, 't'));
    writeFile(m_tree / "z/real.tar", tarOfOneFile());
    fakes::HookedLister lister;
    lister.hook(m_tree / "a",
        { {},
            [this] {
                std::filesystem::rename(m_tree / "a", m_tree / "a-old");
                std::filesystem::create_directory(m_tree / "a");
                writeFile(m_tree / "a/packed.tar", tarOfOneFile());
            },
            {}, {}, 0 });
    const auto result = scan(lister);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->archives);
    EXPECT_EQ(result->archives->archives, 1u);
    EXPECT_EQ(result->archives->members, 1u);
    EXPECT_NE(readFile(m_data / "disc.xml").find(">packed.tar</File>"), std::string::npos);
}

// The lister's thread held at its first folder until the walk has read the starts of files itself:
// the walk, ahead by as many files as may wait, looks at the next ones rather than wait, and every
// archive is still listed once, their members in the order of the walk.
TEST_F(ScanWithArchives, TheWalkLooksAtFilesItselfWhileTheListerIsBehind)
{
    const std::string tar = tarOfOneFile();
    constexpr std::size_t kArchives = 3000; // past the files that may wait for the lister
    for (std::size_t i = 0; i < kArchives; ++i)
        writeFile(m_tree / ("t" + std::to_string(i) + ".tar"), tar);
    const std::thread::id walk = std::this_thread::get_id();
    std::mutex mutex;
    std::condition_variable changed;
    bool walkLooked = false;
    m_fileSystem.beforeFolderOpens([&] {
        std::unique_lock lock(mutex);
        if (std::this_thread::get_id() == walk) {
            walkLooked = true;
            changed.notify_all();
        } else {
            changed.wait_for(lock, std::chrono::seconds(30), [&] { return walkLooked; });
        }
    });
    const auto result = scan(m_lister);
    ASSERT_TRUE(result);
    EXPECT_TRUE(walkLooked);
    ASSERT_TRUE(result->archives);
    EXPECT_EQ(result->archives->archives, kArchives);
    EXPECT_EQ(result->archives->members, kArchives);
    EXPECT_EQ(result->archives->incomplete, std::vector<std::string> {});

    catalogdb::SqliteConnection connection(m_data / "disc.sqlite", SQLITE_OPEN_READONLY, nullptr);
    catalogdb::SqliteStatement rows(connection, "SELECT archive FROM members ORDER BY id");
    std::vector<std::int64_t> archives;
    while (rows.step())
        archives.push_back(rows.integer(0));
    EXPECT_EQ(archives.size(), kArchives);
    EXPECT_TRUE(std::ranges::is_sorted(archives));
}

} // namespace
} // namespace mellowby::scan
