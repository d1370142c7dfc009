#include <ctime>
#include <gtest/gtest.h>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/linuxdirectorylister.h"
#include "support/temporaryfolder.h"
#include "support/unprivileged.h"

namespace mellowby::platform {
namespace {

using tests::TemporaryFolder;
using tests::writeFile;

std::map<std::string, DirEntry> byName(const std::vector<DirEntry>& entries)
{
    std::map<std::string, DirEntry> map;
    for (const auto& entry : entries)
        EXPECT_TRUE(map.emplace(entry.name, entry).second) << "listed twice: " << entry.name;
    return map;
}

TEST(LinuxDirectoryLister, ReportsKindsAndSizesWithoutFollowingLinks)
{
    TemporaryFolder dir;
    writeFile(dir / "a.txt", "12345");
    writeFile(dir / ".hidden", "");
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    const int sparse = ::open((dir / "sparse").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(sparse, 0);
    ASSERT_EQ(::ftruncate(sparse, 5LL << 30), 0);
    ::close(sparse);
    ASSERT_EQ(::symlink("sub/../a.txt", (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink("sub", (dir / "dirlink").c_str()), 0);
    ASSERT_EQ(::symlink("loop", (dir / "loop").c_str()), 0);

    LinuxDirectoryLister lister;
    std::vector<DirEntry> out;
    ASSERT_TRUE(lister.list(dir.path(), out));
    const auto entries = byName(out);

    // "." and ".." are not entries; a name starting with "." is one like any other.
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_TRUE(entries.at("sub").isDirectory);
    EXPECT_EQ(entries.at("a.txt").size, 5u);
    EXPECT_FALSE(entries.at(".hidden").isDirectory);
    EXPECT_FALSE(entries.at("a.txt").detailsError.has_value());
    EXPECT_EQ(entries.at("sparse").size, 5ULL << 30);
    // Links are files of their own size (the length of the target text), never followed.
    EXPECT_FALSE(entries.at("link").isDirectory);
    EXPECT_EQ(entries.at("link").size, 12u);
    EXPECT_FALSE(entries.at("dirlink").isDirectory);
    EXPECT_FALSE(entries.at("loop").isDirectory);
    EXPECT_TRUE(entries.at("loop").creationTime().has_value());
}

TEST(LinuxDirectoryLister, AppendsToWhatIsAlreadyInOut)
{
    TemporaryFolder dir;
    writeFile(dir / "later", "");
    std::vector<DirEntry> out(1);
    out[0].name = "earlier";
    ASSERT_TRUE(LinuxDirectoryLister().list(dir.path(), out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].name, "earlier");
}

// The birth time where the file system keeps one, else the modification time. Here ext4
// images report a birth time of 0 while tmpfs keeps a real one, so both paths are walked.
TEST(LinuxDirectoryLister, CreationTimeIsBirthTimeOrElseModificationTime)
{
    for (const char* base : { "/tmp", "/dev/shm" }) {
        if (::access(base, W_OK) != 0)
            continue;
        SCOPED_TRACE(base);
        TemporaryFolder dir(base);
        const std::int64_t before = std::time(nullptr);
        writeFile(dir / "old", "x");
        const struct timespec times[2] = { { 981158400, 0 }, { 981158400, 0 } };
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "old").c_str(), times, 0), 0);

        struct statx status;
        ASSERT_EQ(::statx(AT_FDCWD, (dir / "old").c_str(), 0, STATX_BTIME, &status), 0);
        const bool hasBirthTime = (status.stx_mask & STATX_BTIME) != 0 && status.stx_btime.tv_sec != 0;

        std::vector<DirEntry> out;
        ASSERT_TRUE(LinuxDirectoryLister().list(dir.path(), out));
        const auto entry = byName(out).at("old");
        ASSERT_TRUE(entry.creationTime().has_value());
        if (hasBirthTime) {
            EXPECT_GE(*entry.creationTime(), before - 1);
            EXPECT_LE(*entry.creationTime(), std::time(nullptr) + 1);
        } else {
            EXPECT_EQ(*entry.creationTime(), 981158400);
        }
    }
}

TEST(LinuxDirectoryLister, FailureToOpenGivesTheErrnoAndItsText)
{
    TemporaryFolder dir;
    writeFile(dir / "file", "");
    std::vector<DirEntry> out;

    EXPECT_EQ(
        LinuxDirectoryLister().list(dir / "missing", out).error(), (Error { ENOENT, "No such file or directory" }));
    EXPECT_EQ(LinuxDirectoryLister().list(dir / "file", out).error().number, ENOTDIR);
    EXPECT_EQ(LinuxDirectoryLister().list("", out).error().number, ENOENT);
    EXPECT_TRUE(out.empty());
}

// Children are opened through their parent: a child that is now a symbolic link or a file is not
// entered, and the way back up leads to the same folder as the way down.
TEST(LinuxDirectoryLister, ChildrenOpenThroughTheirParentAndNeverThroughALink)
{
    TemporaryFolder dir;
    ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0755), 0);
    writeFile(dir / "file", "");
    ASSERT_EQ(::symlink("sub", (dir / "dirlink").c_str()), 0);

    LinuxDirectoryLister lister;
    auto root = lister.open(dir.path());
    ASSERT_TRUE(root);
    struct stat status { };
    ASSERT_EQ(::stat((dir / "sub").c_str(), &status), 0);
    auto sub = (*root)->openChild("sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ((*sub)->id(), (FileId { status.st_dev, status.st_ino }));
    EXPECT_EQ((*root)->openChild("dirlink").error().number, ENOTDIR);
    EXPECT_EQ((*root)->openChild("file").error().number, ENOTDIR);
    EXPECT_EQ((*root)->openChild("gone").error().number, ENOENT);
    auto back = (*sub)->openParent();
    ASSERT_TRUE(back);
    EXPECT_EQ((*back)->id(), (*root)->id());

    // Listed entries carry the same ids.
    std::vector<DirEntry> out;
    ASSERT_TRUE((*root)->list(out));
    EXPECT_EQ(byName(out).at("sub").id, (*sub)->id());
}

// A folder that may be read but not searched gives its names, and for each why the rest is
// missing.
TEST(LinuxDirectoryLister, DetailsThatCannotBeReadAreSaidPerEntry)
{
    TemporaryFolder dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / "readonly").c_str(), 0755), 0);
    writeFile(dir / "readonly/a.txt", "12345");
    ASSERT_EQ(::mkdir((dir / "readonly/inner").c_str(), 0755), 0);
    ASSERT_EQ(::chmod((dir / "readonly").c_str(), 0444), 0);
    const int result = tests::runUnprivileged([&] {
        std::vector<DirEntry> out;
        if (!LinuxDirectoryLister().list(dir / "readonly", out) || out.size() != 2)
            return 1;
        const auto entries = byName(out);
        const auto& file = entries.at("a.txt");
        const auto& inner = entries.at("inner");
        if (!file.detailsError || file.detailsError->number != EACCES || file.isDirectory || file.creationTime())
            return 2;
        return inner.detailsError && inner.isDirectory ? 0 : 3;
    });
    ::chmod((dir / "readonly").c_str(), 0755);
    if (result == 125)
        GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(result, 0);
}

TEST(LinuxDirectoryLister, UnreadableDirectoryIsAnError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every directory";
    TemporaryFolder dir;
    ASSERT_EQ(::mkdir((dir / "locked").c_str(), 0), 0);
    std::vector<DirEntry> out;
    EXPECT_EQ(LinuxDirectoryLister().list(dir / "locked", out).error().number, EACCES);
    ::chmod((dir / "locked").c_str(), 0700);
}

} // namespace
} // namespace mellowby::platform
