#include "support/temporaryfolder.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "platform/linux/linuxfilesystem.h"

namespace mellowby::platform {
namespace {

using tests::readFile;
using tests::TemporaryFolder;
using tests::writeFile;

std::size_t openDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
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

TEST(LinuxFileSystem, NewFileHoldsWhatWasWrittenOnceFinished)
{
    TemporaryFolder dir;
    auto file = LinuxFileSystem().createNewFile(dir / "new.xml");
    ASSERT_TRUE(file);
    ASSERT_TRUE((*file)->write("<Disk>\n"));
    ASSERT_TRUE((*file)->write(std::string(100000, 'x')));
    ASSERT_TRUE((*file)->finish());
    EXPECT_EQ(readFile(dir / "new.xml"), "<Disk>\n" + std::string(100000, 'x'));
    EXPECT_EQ((*file)->write("late").error().number, EBADF);
    EXPECT_EQ((*file)->finish().error().number, EBADF);
}

TEST(LinuxFileSystem, NewFileRefusesAnExistingFileAndLeavesItAlone)
{
    TemporaryFolder dir;
    writeFile(dir / "old.xml", "keep");
    EXPECT_EQ(LinuxFileSystem().createNewFile(dir / "old.xml").error().number, EEXIST);
    EXPECT_EQ(readFile(dir / "old.xml"), "keep");
}

TEST(LinuxFileSystem, UnfinishedFileIsClosedWhenDropped)
{
    TemporaryFolder dir;
    const auto before = openDescriptors();
    {
        auto file = LinuxFileSystem().createNewFile(dir / "partial");
        ASSERT_TRUE(file);
        ASSERT_TRUE((*file)->write("part"));
        EXPECT_EQ(openDescriptors(), before + 1);
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(readFile(dir / "partial"), "part");
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
