#include <filesystem>
#include <gtest/gtest.h>

#include "app/casefold.h"
#include "app/programfolder.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

namespace mellowby::app {
namespace {

namespace fs = std::filesystem;

class ProgramFolderTest : public testing::Test {
protected:
    tests::TemporaryFolder m_dir;
    platform::LinuxFileSystem m_fileSystem;
    ProgramFolder m_folder { m_dir.path(), m_fileSystem };
};

TEST_F(ProgramFolderTest, NamesAsGivenWhenNothingMatches)
{
    EXPECT_EQ(m_folder.dataDir(), m_dir.path() + "/Data");
    EXPECT_EQ(m_folder.iniPath(), m_dir.path() + "/option.ini");
    EXPECT_EQ(resolveIgnoringCase(m_fileSystem, m_dir / "missing", "x"), m_dir / "missing" + "/x");
}

TEST_F(ProgramFolderTest, FindsEntriesInAnyCase)
{
    fs::create_directory(m_dir / "DATA");
    tests::writeFile(m_dir / "Option.INI", "");
    tests::writeFile(m_dir / "DATA/Disc1.XML", "");
    EXPECT_EQ(m_folder.dataDir(), m_dir.path() + "/DATA");
    EXPECT_EQ(m_folder.iniPath(), m_dir.path() + "/Option.INI");
    EXPECT_EQ(resolveIgnoringCase(m_fileSystem, m_folder.dataDir(), "disc1.xml"), m_dir.path() + "/DATA/Disc1.XML");
    EXPECT_EQ(resolveIgnoringCase(m_fileSystem, m_folder.dataDir(), "disc1.idx"), m_dir.path() + "/DATA/disc1.idx");
}

TEST_F(ProgramFolderTest, ExactMatchWins)
{
    fs::create_directory(m_dir / "DATA");
    fs::create_directory(m_dir / "data");
    fs::create_directory(m_dir / "Data");
    tests::writeFile(m_dir / "OPTION.INI", "");
    tests::writeFile(m_dir / "option.ini", "");
    EXPECT_EQ(m_folder.dataDir(), m_dir.path() + "/Data");
    EXPECT_EQ(m_folder.iniPath(), m_dir.path() + "/option.ini");
}

TEST_F(ProgramFolderTest, NonAsciiNamesFoldToo)
{
    tests::writeFile(m_dir / "ÄRGER.xml", "");
    tests::writeFile((m_dir
                         / "\xE2\x84\xAA"
                           "elvin.xml"),
        ""); // KELVIN SIGN folds to k
    EXPECT_EQ(resolveIgnoringCase(m_fileSystem, m_dir.path(), "ärger.XML"), m_dir / "ÄRGER.xml");
    EXPECT_EQ(resolveIgnoringCase(m_fileSystem, m_dir.path(), "kelvin.xml"),
        (m_dir
            / "\xE2\x84\xAA"
              "elvin.xml"));
}

TEST(EqualsIgnoringCaseTest, BrokenUtf8MatchesOnlyItself)
{
    EXPECT_TRUE(equalsIgnoringCase("Options", "oPTIONS"));
    EXPECT_FALSE(equalsIgnoringCase("Options", "Option"));
    // Both would become U+FFFD if decoded leniently.
    EXPECT_FALSE(equalsIgnoringCase("a\xFF", "a\xFE"));
    EXPECT_TRUE(equalsIgnoringCase("A\xFF", "a\xFF"));
}

} // namespace
} // namespace mellowby::app

namespace mellowby::app {
namespace {

TEST(CaseFolding, KeysAgreeWithTheComparison)
{
    const std::vector<std::string> names = { "Photos", "PHOTOS", "photos", "Straße", "STRASSE", "ΣΟΦΙΑ", "σοφια",
        "光盘", "bad\xff", "BAD\xff", "K", "\u212A" };
    for (const auto& a : names) {
        for (const auto& b : names)
            EXPECT_EQ(foldCase(a) == foldCase(b), equalsIgnoringCase(a, b)) << a << " / " << b;
    }
}

} // namespace
} // namespace mellowby::app
