#include "support/temporaryfolder.h"
#include "testconfig.h"

#include <gtest/gtest.h>
#include <string>

#include "app/inidocument.h"
#include "app/programfolder.h"
#include "app/settings.h"
#include "fakes/fakemessagebox.h"
#include "platform/linux/linuxfilesystem.h"

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
    // A value saved as UTF-8 by earlier versions reads as code page 936 text now.
    EXPECT_EQ(IniDocument("[Options]\nNoFileStr=JPÉ|图片\n").value("Options", "NoFileStr"), "JP脡|鍥剧墖");

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
