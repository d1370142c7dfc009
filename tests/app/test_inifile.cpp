#include "testconfig.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include <sys/stat.h>

#include "app/inifile.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

namespace mellowby::app {
namespace {

using tests::readFile;
using tests::writeFile;

std::string sample(const char* name)
{
    return readFile(std::string(MELLOWBY_TEST_DATA_DIR) + "/ini/" + name);
}

class IniFileTest : public testing::Test {
protected:
    tests::TemporaryFolder m_dir;
    std::string m_ini = m_dir / "option.ini";
    platform::LinuxFileSystem m_fileSystem;
};

TEST_F(IniFileTest, BooleanIsTrueOnlyForExactlyOne)
{
    writeFile(m_ini, "[Options]\na=1\nb=01\nc=true\nd=-1\ne=0\nf=\ng= 1 \n");
    EXPECT_TRUE(getIniBool(m_fileSystem, m_ini, "Options", "a"));
    for (const char* key : { "b", "c", "d", "e", "f", "missing" })
        EXPECT_FALSE(getIniBool(m_fileSystem, m_ini, "Options", key)) << key;
    // Blanks around a value are not part of it, as with any value.
    EXPECT_TRUE(getIniBool(m_fileSystem, m_ini, "Options", "g"));
}

TEST_F(IniFileTest, MissingThingsReadAsEmptyText)
{
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), "");
    writeFile(m_ini, "[Options]\nNoFileStr=\nYesFileStr=GIF\n[Other]\nifYesFile=1\n");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), "");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "ifYesFile"), "");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Missing", "YesFileStr"), "");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "  "), "");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "nothing.ini"));
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndBlanksAndCommentsAreIgnored)
{
    writeFile(m_ini,
        "  [ options ]  \n;NoFileStr=commented\n\tnofilestr \t=  GIF|JPG\t \nYESFILESTR=a b\n"
        "[Übersicht]\nschlüssel=x\n");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "OPTIONS", "NoFileStr"), "GIF|JPG");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "YesFileStr"), "a b");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "übersicht", "SCHLÜSSEL"), "x");
}

TEST_F(IniFileTest, LongValuesAreReadWhole)
{
    // Values used to be cut after 255 bytes, silently losing the end of a long type list.
    const std::string value300(300, 'X');
    writeFile(m_ini, "[Options]\nNoFileStr=" + value300 + "\n");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), value300);

    std::string megabyte(1024 * 1024, 'a');
    megabyte.back() = 'z';
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "YesFileStr", megabyte));
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "YesFileStr"), megabyte);
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), value300);
}

TEST_F(IniFileTest, WritesKeysInFirstWrittenOrderWithNewlines)
{
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "GIF|JPG|PCX|TIF|ICO"));
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "YesFileStr", "GIF|JPG|PCX|TIF|ICO"));
    ASSERT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifYesFile", false));
    ASSERT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifUseOption", true));
    EXPECT_EQ(readFile(m_ini),
        "[Options]\nNoFileStr=GIF|JPG|PCX|TIF|ICO\nYesFileStr=GIF|JPG|PCX|TIF|ICO\nifYesFile=0\nifUseOption=1\n");
    // Rewriting must not leave temporary files behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 1);
}

TEST_F(IniFileTest, SavingAnEmptyBoxKeepsTheStoredValue)
{
    writeFile(m_ini, "[Options]\nNoFileStr=BMP\nYesFileStr=GIF\nifYesFile=0\nifUseOption=0\n");
    EXPECT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "PNG"));
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", "YesFileStr", ""));
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", "YesFileStr", " \t "));
    EXPECT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifYesFile", true));
    EXPECT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifUseOption", true));
    EXPECT_EQ(readFile(m_ini), "[Options]\nNoFileStr=PNG\nYesFileStr=GIF\nifYesFile=1\nifUseOption=1\n");
}

TEST_F(IniFileTest, RefusedWritesChangeNothing)
{
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", " ", "x"));
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "", "NoFileStr", "x"));
    EXPECT_FALSE(std::filesystem::exists(m_ini));

    // A line break in a value would plant a key of its own choosing in the file.
    writeFile(m_ini, "[Options]\nifUseOption=0\n");
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "GIF\nifUseOption=1"));
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "GIF\r"));
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", "No=FileStr", "GIF"));
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Opt\nions", "NoFileStr", "GIF"));
    EXPECT_EQ(readFile(m_ini), "[Options]\nifUseOption=0\n");
}

TEST_F(IniFileTest, ValueIsStoredUnchanged)
{
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, " Options ", " NoFileStr ", "  GIF | JPG  "));
    EXPECT_EQ(readFile(m_ini), "[Options]\nNoFileStr=  GIF | JPG  \n");
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), "GIF | JPG");
}

TEST_F(IniFileTest, ReplacingAKeyKeepsEveryOtherByte)
{
    const std::string before = "; my settings\n[Other]\nNoFileStr=keep\n\n[options]\nA=1\n  nofilestr = old value  \n"
                               "junk line without equals\nB=2\n\n[Last]\nk=v";
    writeFile(m_ini, before);
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "new"));
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "OPTIONS", "C", "3"));
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "New", "k", "v"));
    EXPECT_EQ(readFile(m_ini),
        "; my settings\n[Other]\nNoFileStr=keep\n\n[options]\nA=1\n  nofilestr = new\n"
        "junk line without equals\nB=2\nC=3\n\n[Last]\nk=v\n\n[New]\nk=v\n");
}

TEST_F(IniFileTest, CrLfFileKeepsItsLineEnds)
{
    writeFile(m_ini, sample("crlf.ini"));
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "YesFileStr"), "TXT|DOC");
    EXPECT_TRUE(getIniBool(m_fileSystem, m_ini, "Options", "ifYesFile"));
    ASSERT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifYesFile", false));
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "Extra", "x"));
    EXPECT_EQ(readFile(m_ini),
        "[Options]\r\nNoFileStr=GIF|JPG\r\nYesFileStr=TXT|DOC\r\nifYesFile=0\r\nifUseOption=0\r\nExtra=x\r\n");
}

TEST_F(IniFileTest, FirstOccurrenceOfDuplicatesIsReadAndReplaced)
{
    const std::string original = sample("duplicates.ini");
    writeFile(m_ini, original);
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), "BMP|PNG");
    // A key that only a repeated section holds is still found.
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "YesFileStr"), "SECOND");
    EXPECT_TRUE(getIniBool(m_fileSystem, m_ini, "Options", "ifYesFile"));

    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "ICO"));
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "YesFileStr", "TIF"));
    std::string expected = original;
    expected.replace(expected.find("BMP|PNG "), 8, "ICO");
    expected.replace(expected.find("SECOND"), 6, "TIF");
    EXPECT_EQ(readFile(m_ini), expected);
}

TEST_F(IniFileTest, GarbageIsSurvived)
{
    const std::string original = sample("garbage.ini");
    writeFile(m_ini, original);
    EXPECT_TRUE(getIniBool(m_fileSystem, m_ini, "Options", "ifUseOption"));
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), "AB");
    ASSERT_TRUE(setIniString(m_fileSystem, m_ini, "Options", "YesFileStr", "GIF"));
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "YesFileStr"), "GIF");
    // Exactly one line was added; every byte of the noise is still there.
    std::string after = readFile(m_ini);
    const std::size_t at = after.find("YesFileStr=GIF\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(after.erase(at, 15), original);
}

TEST_F(IniFileTest, ByteOrderMarkAndMissingFinalNewline)
{
    writeFile(m_ini, sample("bom-no-final-newline.ini"));
    EXPECT_TRUE(getIniBool(m_fileSystem, m_ini, "Options", "ifYesFile"));
    ASSERT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifUseOption", true));
    EXPECT_EQ(readFile(m_ini), "\xEF\xBB\xBF[Options]\nifYesFile=1\nifUseOption=1\n");
}

TEST_F(IniFileTest, UnreadableFileIsNeverReplaced)
{
    // Tests run as root, so a directory stands in for a file that cannot be read.
    std::filesystem::create_directory(m_ini);
    EXPECT_EQ(getIniString(m_fileSystem, m_ini, "Options", "NoFileStr"), "");
    EXPECT_FALSE(setIniString(m_fileSystem, m_ini, "Options", "NoFileStr", "GIF"));
    EXPECT_FALSE(setIniBool(m_fileSystem, m_ini, "Options", "ifYesFile", true));
    EXPECT_TRUE(std::filesystem::is_directory(m_ini));

    EXPECT_FALSE(setIniString(m_fileSystem, m_dir / "no-such-folder/option.ini", "Options", "NoFileStr", "GIF"));
}

TEST_F(IniFileTest, RewriteKeepsPermissionsAndSymbolicLinks)
{
    const std::string real = (m_dir / "real.ini");
    writeFile(real, "[Options]\nifYesFile=0\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink("real.ini", m_ini);

    ASSERT_TRUE(setIniBool(m_fileSystem, m_ini, "Options", "ifYesFile", true));
    EXPECT_TRUE(std::filesystem::is_symlink(m_ini));
    EXPECT_EQ(readFile(real), "[Options]\nifYesFile=1\n");
    struct stat st { };
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

} // namespace
} // namespace mellowby::app
