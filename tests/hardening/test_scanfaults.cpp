#include "scanfaults.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakemessagebox.h"
#include "fakes/faultyfilesystem.h"
#include "fakes/hookedlister.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/temporarynames.h"
#include "scan/scanner.h"
#include "support/gb2312testtexts.h"

// Scans whose writes fail and whose folders cannot be read: the old catalog stays, the user is told.
namespace mellowby::hardening {
namespace {

// A disk that fills up at any point of a real walk: every 4 KiB of the output, both files.
TEST_F(ScanFaults, DiskFullAtEveryFourKilobytes)
{
    addBulk(2800);
    // How much a complete scan writes, from a scan that succeeds.
    ASSERT_TRUE(scan(m_lister, m_fileSystem, "probe"));
    const std::uint64_t total = readFile(m_data / "probe.xml").size() + readFile(m_data / "probe.idx").size();
    std::filesystem::remove(m_data / "probe.xml");
    std::filesystem::remove(m_data / "probe.idx");
    ASSERT_GT(total, 2u * 256 * 1024); // several of the writer's blocks

    const Error full = platform::errorFromErrno(ENOSPC);
    const std::uint64_t step = scaled(4096, 16384);
    std::size_t points = 0;
    for (std::uint64_t budget = 0; budget < total; budget += step) {
        FaultyFileSystem fileSystem { m_fileSystem };
        fileSystem.failWritesAfter(budget, full);
        ++points;
        ASSERT_EQ(scan(m_lister, fileSystem).error(), scan::ScanFailure::Failed) << budget;
        EXPECT_EQ(m_box.shown, (std::vector<MessageRequest> { kOverwriteQuestion, genXmlBox(full) })) << budget;
        expectOldCatalogIntact();
        if (HasFailure())
            break;
    }
    tally().faults += points;
    std::cout << "[ faults   ] disk full at " << points << " points of a " << total << "-byte catalog\n";
}

// Every other file operation of a scan failing in turn: creating either file, flushing either to
// disk, setting the old twin aside, moving either new file into place.
TEST_F(ScanFaults, EveryFileOperationFailingInTurn)
{
    using Operation = FaultyFileSystem::Operation;
    const struct {
        Operation operation;
        int call;
        Error error;
    } faults[] = {
        { Operation::CreateFile, 1, platform::errorFromErrno(EACCES) },
        { Operation::CreateFile, 2, platform::errorFromErrno(ENOSPC) },
        { Operation::CreateFile, 1, platform::errorFromErrno(EROFS) },
        { Operation::Write, 1, platform::errorFromErrno(EIO) },
        { Operation::Write, 2, platform::errorFromErrno(EIO) },
        { Operation::Finish, 1, platform::errorFromErrno(EIO) },
        { Operation::Finish, 2, platform::errorFromErrno(ENOSPC) },
        { Operation::Rename, 1, platform::errorFromErrno(EIO) },
        { Operation::Rename, 2, platform::errorFromErrno(EIO) },
        { Operation::Rename, 3, platform::errorFromErrno(EIO) },
    };
    for (const auto& fault : faults) {
        FaultyFileSystem fileSystem { m_fileSystem };
        fileSystem.failOnCall(fault.operation, fault.call, fault.error);
        ++tally().faults;
        const std::string what = std::to_string(static_cast<int>(fault.operation)) + "#" + std::to_string(fault.call);
        ASSERT_EQ(scan(m_lister, fileSystem).error(), scan::ScanFailure::Failed) << what;
        EXPECT_EQ(m_box.shown, (std::vector<MessageRequest> { kOverwriteQuestion, genXmlBox(fault.error) })) << what;
        expectOldCatalogIntact();
    }
    // A catalog that did not exist before leaves nothing behind either.
    FaultyFileSystem fileSystem { m_fileSystem };
    fileSystem.failOnCall(Operation::Rename, 2, platform::errorFromErrno(EIO));
    ++tally().faults;
    ASSERT_EQ(scan(m_lister, fileSystem, "fresh").error(), scan::ScanFailure::Failed);
    expectOldCatalogIntact();

    // Without faults the same scan replaces the old catalog.
    ASSERT_TRUE(scan(m_lister, m_fileSystem));
    EXPECT_NE(writtenCatalog().find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// Directories that cannot be read: the scanned one itself, one below it, and listings that break
// off part way in many directories.
TEST_F(ScanFaults, DirectoriesThatCannotBeRead)
{
    HookedLister lister;
    lister.hook(m_root.path(), { {}, {}, platform::errorFromErrno(EACCES), {}, 0 });
    ++tally().faults;
    EXPECT_EQ(scan(lister, m_fileSystem).error(), scan::ScanFailure::RootUnreadable);
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> { kOverwriteQuestion });
    expectOldCatalogIntact();

    HookedLister locked;
    locked.hook(m_root / "a", { {}, {}, platform::errorFromErrno(EACCES), {}, 0 });
    locked.hook(m_root / "swap", { {}, {}, platform::errorFromErrno(EACCES), {}, 0 });
    tally().faults += 2;
    ASSERT_TRUE(scan(locked, m_fileSystem));
    EXPECT_EQ(m_box.shown, std::vector<MessageRequest> { kOverwriteQuestion });
    std::string text = writtenCatalog();
    expectEmptyDirectory(text, "a");
    expectEmptyDirectory(text, "swap");
    EXPECT_EQ(text.find("title=\"b\""), std::string::npos);
    EXPECT_EQ(text.find("inside.txt"), std::string::npos);
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_NE(text.find(">readme.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});

    // A damaged disc: many directories whose listing breaks off with the same error. The walk
    // goes on past each, and the user is told once, not once per directory.
    for (int i = 0; i < 50; ++i)
        makeDirectory("damaged" + std::to_string(i));
    HookedLister damaged;
    for (int i = 0; i < 50; ++i)
        damaged.hook(m_root / ("damaged" + std::to_string(i)), { {}, {}, {}, platform::errorFromErrno(EIO), 0 });
    damaged.hook(m_root / "a/b", { {}, {}, {}, platform::errorFromErrno(EIO), 0 });
    tally().faults += 51;
    ASSERT_TRUE(scan(damaged, m_fileSystem));
    EXPECT_EQ(m_box.shown, (std::vector<MessageRequest> { kOverwriteQuestion, walkBox("Input/output error") }));
    text = writtenCatalog();
    EXPECT_NE(text.find("title=\"damaged49\""), std::string::npos);
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// The same with the real permissions, in a child process that gives up root's right to read
// everything.
TEST_F(ScanFaults, ADirectoryWithoutReadPermission)
{
    ASSERT_EQ(::chmod(m_root.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_data.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((m_data / "disc.xml").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((m_data / "disc.idx").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((m_root / "a").c_str(), 0), 0);
    ++tally().faults;
    const int boxes = runUnprivileged([this] {
        platform::LinuxDirectoryLister lister;
        const auto result = scan(lister, m_fileSystem);
        return result ? static_cast<int>(m_box.shown.size()) : 100;
    });
    ::chmod((m_root / "a").c_str(), 0755);
    EXPECT_EQ(boxes, 1); // the overwrite question only
    const std::string text = writtenCatalog();
    expectEmptyDirectory(text, "a");
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);
    EXPECT_EQ(scanLeftovers(m_data.path()), std::vector<std::string> {});
}

// A folder that can be read but not searched: its files are written by their names, without
// size or date, and the user is told once which folder and why.
TEST_F(ScanFaults, DetailsThatCannotBeReadAreReported)
{
    ASSERT_EQ(::chmod(m_root.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(m_data.path().c_str(), 0777), 0);
    for (const char* name : { "disc.xml", "disc.idx" })
        ASSERT_EQ(::chmod((m_data / name).c_str(), 0666), 0);
    makeDirectory("sealed");
    makeDirectory("sealed/inner");
    writeFile(m_root / "sealed/one.txt", "1");
    writeFile(m_root / "sealed/two.txt", "2");
    ASSERT_EQ(::chmod((m_root / "sealed").c_str(), 0444), 0);
    ++tally().faults;
    const int boxes = runUnprivileged([this] {
        platform::LinuxDirectoryLister lister;
        const auto result = scan(lister, m_fileSystem);
        return result ? static_cast<int>(m_box.shown.size()) : 100;
    });
    ::chmod((m_root / "sealed").c_str(), 0755);
    if (boxes == 125)
        GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(boxes, 2); // the overwrite question, then the one report
    const std::string text = writtenCatalog();
    EXPECT_NE(text.find("<File CreateDate=\"\" FileSize=\"\">one.txt</File>"), std::string::npos) << text;
    EXPECT_NE(text.find("<File CreateDate=\"\" FileSize=\"\">two.txt</File>"), std::string::npos);
    expectEmptyDirectory(text, "inner");
    EXPECT_NE(text.find(">last.txt</File>"), std::string::npos);

    // The same walk in this process, to see the box itself.
    ASSERT_EQ(::chmod((m_root / "sealed").c_str(), 0444), 0);
    const int shown = runUnprivileged([this] {
        platform::LinuxDirectoryLister lister;
        (void)scan(lister, m_fileSystem);
        const std::string expected
            = "无法读取“" + (m_root / "sealed") + "”中文件的大小和日期（Permission denied），这些文件只记录了名称。";
        return m_box.shown.size() == 2 && m_box.shown[1] == walkBox(expected) ? 0 : 1;
    });
    ::chmod((m_root / "sealed").c_str(), 0755);
    EXPECT_EQ(shown, 0);
}

} // namespace
} // namespace mellowby::hardening
