#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

#include <sys/stat.h>

#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

namespace mellowby::platform {
namespace {

namespace fs = std::filesystem;
using tests::readFile;
using tests::TemporaryFolder;
using tests::writeFile;

// Every test points the trash into its own temporary folder and puts the variables back.
class Trash : public ::testing::Test {
protected:
    Trash()
    {
        for (auto& [name, value] : m_saved) {
            if (const char* current = std::getenv(name))
                value = current;
        }
        ::setenv("HOME", m_dir.path().c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
    }
    ~Trash() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }

    std::string file(const std::string& relative, std::string_view text = "bytes")
    {
        writeFile(m_dir / relative, text);
        return m_dir / relative;
    }

    static std::size_t count(const std::string& folder)
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
    }

    TemporaryFolder m_dir;
    std::string m_homeTrash = m_dir / ".local/share/Trash";
    LinuxFileSystem m_fileSystem;

private:
    std::pair<const char*, std::optional<std::string>> m_saved[2] = { { "HOME", {} }, { "XDG_DATA_HOME", {} } };
};

// A missing ~/.local/share must be created, never worked around by trashing elsewhere.
TEST_F(Trash, CreatesTheHomeTrashAndWritesTheInfoFile)
{
    const auto path = file("docs/my cat%.xml", "catalog");
    ASSERT_TRUE(m_fileSystem.moveToTrash(path));

    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(readFile(m_homeTrash + "/files/my cat%.xml"), "catalog");
    const std::regex info("\\[Trash Info\\]\nPath=" + m_dir.path()
        + "/docs/my%20cat%25.xml\n"
          "DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
    EXPECT_TRUE(std::regex_match(readFile(m_homeTrash + "/info/my cat%.xml.trashinfo"), info));
    struct stat status;
    ASSERT_EQ(::stat(m_homeTrash.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
}

TEST_F(Trash, XdgDataHomeWinsWhenAbsolute)
{
    ::setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
    ASSERT_TRUE(m_fileSystem.moveToTrash(file("a")));
    EXPECT_TRUE(fs::exists(m_dir / "data/Trash/files/a"));

    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    ASSERT_TRUE(m_fileSystem.moveToTrash(file("b")));
    EXPECT_TRUE(fs::exists(m_homeTrash + "/files/b"));
}

TEST_F(Trash, NameClashesGetUniqueNames)
{
    writeFile(m_homeTrash + "/files/c.xml", "left behind without info");
    ASSERT_TRUE(m_fileSystem.moveToTrash(file("one/c.xml", "1")));
    ASSERT_TRUE(m_fileSystem.moveToTrash(file("two/c.xml", "2")));

    EXPECT_EQ(readFile(m_homeTrash + "/files/c.xml"), "left behind without info");
    EXPECT_EQ(readFile(m_homeTrash + "/files/c.xml.2"), "1");
    EXPECT_EQ(readFile(m_homeTrash + "/files/c.xml.3"), "2");
    EXPECT_FALSE(fs::exists(m_homeTrash + "/info/c.xml.trashinfo"));
    EXPECT_NE(readFile(m_homeTrash + "/info/c.xml.3.trashinfo").find("Path=" + m_dir.path() + "/two/c.xml\n"),
        std::string::npos);
}

TEST_F(Trash, MissingFileFailsWithoutTouchingTheTrash)
{
    EXPECT_EQ(m_fileSystem.moveToTrash(m_dir / "missing").error().number, ENOENT);
    EXPECT_FALSE(fs::exists(m_homeTrash));
}

TEST_F(Trash, NoHomeAndNoDataHomeFails)
{
    const auto path = file("kept");
    ::unsetenv("HOME");
    const auto result = m_fileSystem.moveToTrash(path);
    ASSERT_FALSE(result);
    EXPECT_FALSE(result.error().description.empty());
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(Trash, FailedMoveUndoesTheInfoFile)
{
    writeFile(m_homeTrash + "/files", "a file where the folder belongs");
    const auto path = file("kept");
    EXPECT_EQ(m_fileSystem.moveToTrash(path).error().number, ENOTDIR);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(count(m_homeTrash + "/info"), 0u);
}

// rename cannot cross file systems; the bytes are copied and the original removed.
TEST_F(Trash, TrashOnAnotherFileSystemGetsACopy)
{
    struct stat shm, tmp;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(m_dir.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    TemporaryFolder otherDevice("/dev/shm");
    ::setenv("XDG_DATA_HOME", otherDevice.path().c_str(), 1);
    const std::string big(300000, 'z');
    const auto path = file("far.xml", big);

    ASSERT_TRUE(m_fileSystem.moveToTrash(path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(readFile(otherDevice / "Trash/files/far.xml"), big);
    EXPECT_TRUE(fs::exists(otherDevice / "Trash/info/far.xml.trashinfo"));

    ASSERT_EQ(::mkdir((m_dir / "folder").c_str(), 0755), 0);
    EXPECT_EQ(m_fileSystem.moveToTrash(m_dir / "folder").error().number, EXDEV);
    EXPECT_TRUE(fs::is_directory(m_dir / "folder"));
    EXPECT_EQ(count(otherDevice / "Trash/info"), 1u);
}

} // namespace
} // namespace mellowby::platform
