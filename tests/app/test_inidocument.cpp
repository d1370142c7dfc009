#include "testconfig.h"

#include <gtest/gtest.h>
#include <string>

#include "app/inidocument.h"
#include "app/programfolder.h"
#include "app/settings.h"
#include "fakes/fakemessagebox.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

namespace mellowby::app {
namespace {

// A file cut between the CR and the LF of its last line: the CR already ends that line, so a
// line appended after it must not turn the CR into part of the value above.
TEST(IniDocumentTest, LastLineCutAfterItsCarriageReturnKeepsItsValue)
{
    IniDocument inSection("[Options]\r\nNoFileStr=GIF\r");
    ASSERT_TRUE(inSection.setValue("Options", "ifYesFile", "1"));
    EXPECT_EQ(inSection.text(), "[Options]\r\nNoFileStr=GIF\r\nifYesFile=1\r\n");
    EXPECT_EQ(IniDocument(inSection.text()).value("Options", "NoFileStr"), "GIF");

    IniDocument newSection("[Other]\nkey=value\r");
    ASSERT_TRUE(newSection.setValue("Options", "ifYesFile", "1"));
    EXPECT_EQ(newSection.text(), "[Other]\nkey=value\r\n\n[Options]\nifYesFile=1\n");
    EXPECT_EQ(IniDocument(newSection.text()).value("Other", "key"), "value");
}

// As the platform's profile reader: one pair of matching outer quotes goes, nothing else does.
TEST(IniDocumentTest, OnePairOfMatchingOuterQuotesIsDropped)
{
    const IniDocument document("[Options]\na=\"1\"\nb= 'GIF|JPG' \nc=\"\"x\"\"\nd=\"1'\ne=\"\nf=\"\"\n"
                               "g=\" in \"\nh=x\"y\"\ni='\n");
    EXPECT_EQ(document.value("Options", "a"), "1");
    EXPECT_EQ(document.value("Options", "b"), "GIF|JPG");
    EXPECT_EQ(document.value("Options", "c"), "\"x\"");
    EXPECT_EQ(document.value("Options", "d"), "\"1'");
    EXPECT_EQ(document.value("Options", "e"), "\"");
    EXPECT_EQ(document.value("Options", "f"), "");
    EXPECT_EQ(document.value("Options", "g"), " in ");
    EXPECT_EQ(document.value("Options", "h"), "x\"y\"");
    EXPECT_EQ(document.value("Options", "i"), "'");
}

// Values are kept in code page 936, as Windows keeps them.
TEST(IniDocumentTest, ValuesAreCodePage936)
{
    IniDocument document("[Options]\nNoFileStr=\xCD\xBC\xC6\xAC|\xF3\x77|\x80\nYesFileStr=a\xFF"
                         "b\n");
    EXPECT_EQ(document.value("Options", "NoFileStr"), "图片|體|€");
    EXPECT_EQ(document.value("Options", "YesFileStr"), "a\uFFFDb");

    ASSERT_TRUE(document.setValue("Options", "YesFileStr", "文档|報告"));
    EXPECT_EQ(document.text(),
        "[Options]\nNoFileStr=\xCD\xBC\xC6\xAC|\xF3\x77|\x80\nYesFileStr=\xCE\xC4\xB5\xB5|\x88\xF3\xB8\xE6\n");
    EXPECT_EQ(document.value("Options", "YesFileStr"), "文档|報告");

    // Characters the code page lacks could not be read back: nothing is stored.
    const std::string before = document.text();
    EXPECT_FALSE(document.setValue("Options", "NoFileStr", "JPÉ"));
    EXPECT_FALSE(document.setValue("Options", "ifYesFile", "😀"));
    EXPECT_FALSE(document.setValue("Options", "ifYesFile", "a\xFF"));
    EXPECT_EQ(document.text(), before);
}

// Earlier versions of this program wrote option.ini in UTF-8: such a file reads as UTF-8, names
// included, and a save takes all of it over to the code page, without its byte order mark.
// Where the code page lacks a character of another line the file stays UTF-8, and where the code
// page's bytes would read as UTF-8 (值 is D6 B5) a comment that cannot goes first: each file reads
// back as saved.
TEST(IniDocumentTest, AFileInUtf8ReadsAsUtf8AndASaveWritesTheCodePageWhereItReadsBack)
{
    IniDocument earlier("\xEF\xBB\xBF[Options]\r\nNoFileStr=JPÉ|图片\r\n[选项]\r\n中文键=值\r\n");
    EXPECT_TRUE(earlier.readsUtf8());
    EXPECT_EQ(earlier.value("Options", "NoFileStr"), "JPÉ|图片");
    EXPECT_EQ(earlier.value("选项", "中文键"), "值");

    // JPÉ is still there: UTF-8 it stays.
    ASSERT_TRUE(earlier.setValue("Options", "YesFileStr", "文档"));
    EXPECT_EQ(
        earlier.text(), "\xEF\xBB\xBF[Options]\r\nNoFileStr=JPÉ|图片\r\nYesFileStr=文档\r\n[选项]\r\n中文键=值\r\n");
    ASSERT_TRUE(earlier.setValue("Options", "NoFileStr", "GIF|图片"));
    EXPECT_EQ(earlier.text(),
        "[Options]\r\nNoFileStr=GIF|\xCD\xBC\xC6\xAC\r\nYesFileStr=\xCE\xC4\xB5\xB5\r\n[\xD1\xA1\xCF\xEE]\r\n"
        "\xD6\xD0\xCE\xC4\xBC\xFC=\xD6\xB5\r\n");
    EXPECT_FALSE(earlier.readsUtf8());
    EXPECT_EQ(earlier.value("选项", "中文键"), "值");

    IniDocument ascii("[Options]\r\nNoFileStr=GIF\r\n");
    ASSERT_TRUE(ascii.setValue("Options", "NoFileStr", "值"));
    const std::string marked = "; \xB1\xE0\xC2\xEB\xA3\xBAGBK\r\n[Options]\r\nNoFileStr=\xD6\xB5\r\n";
    EXPECT_EQ(ascii.text(), marked);
    EXPECT_EQ(IniDocument(marked).value("Options", "NoFileStr"), "值");
    ASSERT_TRUE(ascii.setValue("Options", "NoFileStr", "值"));
    EXPECT_EQ(ascii.text(), marked);

    // A character whose second byte is "]" would make a section of a line that is none.
    IniDocument bracket("[Options]\nNoFileStr=JPÉ\n[乚\n");
    ASSERT_TRUE(bracket.setValue("Options", "NoFileStr", "GIF"));
    EXPECT_EQ(bracket.text(), "[Options]\nNoFileStr=GIF\n[乚\n");
}

// An option.ini made on Windows, with quotes as its users write them.
TEST(IniDocumentTest, SettingsFromAWindowsFile)
{
    tests::TemporaryFolder dir;
    tests::writeFile(
        dir / "option.ini", tests::readFile(std::string(MELLOWBY_TEST_DATA_DIR) + "/ini/windows-cp936.ini"));
    Settings settings;
    fakes::FakeMessageBox box;
    platform::LinuxFileSystem fileSystem;
    ASSERT_TRUE(getIniSetting(ProgramFolder(dir.path(), fileSystem), settings, box));
    EXPECT_EQ(settings, (Settings { "GIF|JPG|體", "图片|報告|€", false, true }));
}

} // namespace
} // namespace mellowby::app
