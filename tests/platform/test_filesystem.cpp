#include <algorithm>
#include <array>
#include <filesystem>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fakes/recordingreplacementcalls.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/temporarynames.h"
#include "support/temporaryfolder.h"

namespace mellowby::platform {
namespace {

using tests::readFile;
using tests::TemporaryFolder;
using tests::writeFile;

std::vector<std::string> listedNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    return names;
}

TEST(LinuxFileSystem, CreateDirectoryMakesExactlyOneLevel)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    EXPECT_EQ(fileSystem.createDirectory(dir / "a/b").error().number, ENOENT);
    EXPECT_TRUE(fileSystem.createDirectory(dir / "a"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a"));
    EXPECT_EQ(fileSystem.createDirectory(dir / "a").error(), (Error { EEXIST, "File exists" }));
}

TEST(LinuxFileSystem, MissingFoldersAreCreatedDownToTheLastAndAFileInTheWayStopsThem)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    EXPECT_EQ(createMissingFolders(fileSystem, dir.path() + "//a/b/"), dir / "a/b");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b"));
    EXPECT_EQ(createMissingFolders(fileSystem, dir / "a/b"), dir / "a/b"); // already there
    writeFile(dir / "file", "");
    EXPECT_EQ(createMissingFolders(fileSystem, dir / "file/c").error().number, ENOTDIR);
}

TEST(LinuxFileSystem, WholeFileReadsOnlyRegularFiles)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    writeFile(dir / "a.ini", std::string("x\0y", 3));
    EXPECT_EQ(fileSystem.readWholeFile(dir / "a.ini", 100).value(), std::string("x\0y", 3));
    EXPECT_EQ(fileSystem.readWholeFile(dir / "missing", 100).value(), std::nullopt);
    EXPECT_EQ(fileSystem.readWholeFile(dir / "a.ini", 2).error().number, EFBIG);
    EXPECT_EQ(fileSystem.readWholeFile(dir.path(), 100).error().number, EISDIR);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(fileSystem.readWholeFile(dir / "fifo", 100).error().number, EINVAL); // and does not block
    // Files of /proc say they are empty; they are read to their end.
    const auto mounts = fileSystem.readWholeFile("/proc/self/mountinfo", 1 << 24);
    ASSERT_TRUE(mounts && *mounts);
    EXPECT_FALSE((*mounts)->empty());
}

// A folder opened for its files reads their starts by name: no link is followed, a file's access
// time stays as it was, and the folder is the one the walk of a tree tells by the same id.
TEST(LinuxFileSystem, AFolderReadsTheStartsOfItsFilesByName)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    writeFile(dir / "a.zip", "PK\x03\x04 and the rest");
    std::filesystem::create_symlink("a.zip", dir / "link.zip");
    ASSERT_EQ(::mkfifo((dir / "pipe.zip").c_str(), 0644), 0);
    // An access time before the modification time, which reading would otherwise renew.
    const struct timespec times[2] = { { 1000, 0 }, { 2000, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "a.zip").c_str(), times, 0), 0);
    EXPECT_EQ(fileSystem.openFolder(dir / "missing").error().number, ENOENT);
    const auto folder = fileSystem.openFolder(dir.path());
    ASSERT_TRUE(folder);
    EXPECT_EQ((*folder)->id(), LinuxDirectoryLister().open(dir.path()).value()->id());

    std::array<char, 4> start {};
    EXPECT_EQ((*folder)->readStart("a.zip", start), 4u);
    EXPECT_EQ(std::string_view(start.data(), 4), "PK\x03\x04");
    std::array<char, 64> more {};
    EXPECT_EQ((*folder)->readStart("a.zip", more), 17u);
    struct stat status { };
    ASSERT_EQ(::stat((dir / "a.zip").c_str(), &status), 0);
    EXPECT_EQ(status.st_atim.tv_sec, 1000);
    EXPECT_EQ((*folder)->readStart("link.zip", more).error().number, ELOOP);
    EXPECT_EQ((*folder)->readStart("gone.zip", more).error().number, ENOENT);

    const auto file = (*folder)->openFile("a.zip");
    ASSERT_TRUE(file);
    EXPECT_EQ((*file)->stamp().size, 17u);
    EXPECT_EQ((*folder)->openFile("link.zip").error().number, ELOOP);
    EXPECT_EQ((*folder)->openFile("pipe.zip").error().number, EINVAL); // and does not block
}

// The pages of a file in memory, one flag each.
std::vector<bool> residentPages(const std::string& path, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> flags((size + page - 1) / page);
    std::vector<bool> resident;
    if (mapped != MAP_FAILED && ::mincore(mapped, size, flags.data()) == 0) {
        for (const unsigned char flag : flags)
            resident.push_back((flag & 1) != 0);
    }
    if (mapped != MAP_FAILED)
        ::munmap(mapped, size);
    return resident;
}

// Reading a file's start brings no more of it into memory than the page read: a scan looks at the
// starts of a million files.
TEST(LinuxFileSystem, ReadingAFilesStartReadsNothingAhead)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    constexpr std::size_t kSize = 256 * 1024;
    writeFile(dir / "big.zip", std::string(kSize, 'b'));
    {
        const int fd = ::open((dir / "big.zip").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::fsync(fd), 0);
        ASSERT_EQ(::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED), 0);
        ::close(fd);
    }
    const std::vector<bool> before = residentPages(dir / "big.zip", kSize);
    if (before.empty() || std::ranges::count(before, true) != 0)
        GTEST_SKIP() << "the file system keeps its files in memory";
    std::array<char, 512> start {};
    ASSERT_EQ(fileSystem.openFolder(dir.path()).value()->readStart("big.zip", start), 512u);
    const std::vector<bool> after = residentPages(dir / "big.zip", kSize);
    EXPECT_TRUE(after.at(0));
    EXPECT_EQ(std::ranges::count(after, true), 1);
}

// New contents take the file's place only when committed; until then, and when dropped, the old
// file is as it was and no temporary file stays behind.
TEST(LinuxFileSystem, ReplacementIsAllOrNothing)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    writeFile(dir / "cat.xml", "old");
    ASSERT_EQ(::chmod((dir / "cat.xml").c_str(), 0640), 0);
    {
        auto dropped = fileSystem.beginReplacement(dir / "cat.xml");
        ASSERT_TRUE(dropped);
        ASSERT_TRUE((*dropped)->write("half"));
        EXPECT_EQ(listedNames(dir.path()).size(), 2u);
    }
    EXPECT_EQ(readFile(dir / "cat.xml"), "old");
    EXPECT_EQ(listedNames(dir.path()), std::vector<std::string> { "cat.xml" });

    auto replacement = fileSystem.beginReplacement(dir / "cat.xml");
    ASSERT_TRUE(replacement);
    ASSERT_TRUE((*replacement)->write("<Disk>\n"));
    ASSERT_TRUE((*replacement)->write(std::string(100000, 'x')));
    ASSERT_TRUE((*replacement)->finish());
    EXPECT_EQ(readFile(dir / "cat.xml"), "old");
    ASSERT_TRUE((*replacement)->commit());
    EXPECT_EQ(readFile(dir / "cat.xml"), "<Disk>\n" + std::string(100000, 'x'));
    EXPECT_EQ(std::filesystem::status(dir / "cat.xml").permissions(), static_cast<std::filesystem::perms>(0640));
    EXPECT_EQ(listedNames(dir.path()), std::vector<std::string> { "cat.xml" });

    // A link keeps pointing at the file it names, which is the one replaced.
    std::filesystem::create_directory(dir / "elsewhere");
    writeFile(dir / "elsewhere/real.ini", "old");
    std::filesystem::create_symlink("elsewhere/real.ini", dir / "link.ini");
    ASSERT_TRUE(replaceWholeFile(fileSystem, dir / "link.ini", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(readFile(dir / "elsewhere/real.ini"), "new");
    EXPECT_EQ(fileSystem.beginReplacement(dir / "no-folder/x").error().number, ENOENT);
}

// What a crash leaves is the old file or the whole new one: every byte of the file and its fsync
// come before the rename that names it, and the folder's fsync, which makes the new name last,
// before commit returns. An index in the cache, made again when it is lost, spares both syncs.
TEST(LinuxFileSystem, AReplacementIsWrittenAndSyncedBeforeItIsNamedAndTheNameSyncedAfter)
{
    TemporaryFolder dir;
    fakes::RecordingReplacementCalls calls;
    LinuxFileSystem fileSystem(calls);
    auto replacement = fileSystem.beginReplacement(dir / "cat.xml").value();
    ASSERT_TRUE(replacement->write("<Disk>"));
    ASSERT_TRUE(replacement->writeAt(1, "d"));
    ASSERT_TRUE(replacement->commit());
    EXPECT_EQ(calls.made,
        (std::vector<std::string> {
            "write 6", "write 1 at 1", "fsync", "close", "rename to cat.xml", "fsync folder " + dir.path() }));
    EXPECT_EQ(readFile(dir / "cat.xml"), "<disk>");

    calls.made.clear();
    auto cached = fileSystem.beginCacheReplacement(dir / "cat.names").value();
    ASSERT_TRUE(cached->write("x"));
    ASSERT_TRUE(cached->commit());
    EXPECT_EQ(calls.made, (std::vector<std::string> { "write 1", "close", "rename to cat.names" }));
}

TEST(LinuxFileSystem, FolderListingNamesFoldersThroughLinks)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    std::filesystem::create_directory(dir / "Data");
    writeFile(dir / ".dot.xml", "");
    std::filesystem::create_directory_symlink("Data", dir / "linked");
    auto entries = fileSystem.listFolder(dir.path());
    ASSERT_TRUE(entries);
    std::ranges::sort(*entries, {}, &FolderEntry::name);
    EXPECT_EQ(*entries, (std::vector<FolderEntry> { { ".dot.xml", false }, { "Data", true }, { "linked", true } }));
    EXPECT_EQ(fileSystem.listFolder(dir / "missing").error().number, ENOENT);
    EXPECT_TRUE(fileSystem.isDirectory(dir / "linked"));
    EXPECT_TRUE(fileSystem.isFile(dir / ".dot.xml"));
    EXPECT_FALSE(fileSystem.isFile(dir / "Data"));
}

// What a replacement leaves when its process dies goes; what a running process writes stays.
TEST(LinuxFileSystem, AbandonedReplacementsAreRemoved)
{
    TemporaryFolder dir;
    LinuxFileSystem fileSystem;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = temporaryNameFor("a.xml", child, 1);
    const std::string alive = temporaryNameFor("a.xml", ::getpid(), 2);
    for (const auto& name : { dead, alive, std::string(".a.xml.mellowby-x-1.tmp"), std::string("a.xml") })
        writeFile(dir / name, "");
    fileSystem.removeAbandonedReplacements(dir.path());
    auto names = listedNames(dir.path());
    std::ranges::sort(names);
    EXPECT_EQ(names, (std::vector<std::string> { alive, ".a.xml.mellowby-x-1.tmp", "a.xml" }));

    EXPECT_EQ(writerOfTemporaryName(alive), ::getpid());
    EXPECT_EQ(writerOfTemporaryName(".a.xml.mellowby-12-3.tmp"), 12);
    for (const char* other : { "a.xml", ".a.xml.mellowby-12.tmp", ".mellowby-12-3.tmp", ".a.mellowby-0-1.tmp" })
        EXPECT_FALSE(writerOfTemporaryName(other).has_value()) << other;
}

TEST(LinuxFileSystem, RenameReplacesTheTarget)
{
    TemporaryFolder dir;
    writeFile(dir / "tmp", "new");
    writeFile(dir / "cat.xml", "old");
    ASSERT_TRUE(LinuxFileSystem().renameFile(dir / "tmp", dir / "cat.xml"));
    EXPECT_EQ(readFile(dir / "cat.xml"), "new");
    EXPECT_FALSE(std::filesystem::exists(dir / "tmp"));
    EXPECT_EQ(LinuxFileSystem().renameFile(dir / "tmp", dir / "cat.xml").error().number, ENOENT);
}

TEST(LinuxFileSystem, RemoveDeletesAndReportsAMissingFile)
{
    TemporaryFolder dir;
    writeFile(dir / "gone", "");
    ASSERT_TRUE(LinuxFileSystem().removeFile(dir / "gone"));
    EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
    EXPECT_EQ(LinuxFileSystem().removeFile(dir / "gone").error().number, ENOENT);
}

} // namespace
} // namespace mellowby::platform
