#include "testconfig.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "app/programfolder.h"
#include "app/settings.h"
#include "fakes/fakemessagebox.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

namespace mellowby::app {
namespace {

using platform::MessageButtons;
using platform::MessageIcon;

class GetIniSettingTest : public testing::Test {
protected:
    tests::TemporaryFolder m_dir;
    platform::LinuxFileSystem m_fileSystem;
    ProgramFolder m_folder { m_dir.path(), m_fileSystem };
    fakes::FakeMessageBox m_box;
    Settings m_settings { "old-no", "old-yes", true, true };
};

TEST_F(GetIniSettingTest, MissingFileIsNotAFailure)
{
    EXPECT_TRUE(getIniSetting(m_folder, m_settings, m_box));
    EXPECT_EQ(m_settings, Settings {});
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(GetIniSettingTest, MissingSectionOrKeysReadAsEmptyAndFalse)
{
    tests::writeFile(m_dir / "option.ini", "[Other]\nNoFileStr=GIF\n[Options]\nYesFileStr=\nifYesFile=01\n");
    EXPECT_TRUE(getIniSetting(m_folder, m_settings, m_box));
    EXPECT_EQ(m_settings, Settings {});
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(GetIniSettingTest, LoadsAllFourFromAnyCaseOfTheFileName)
{
    tests::writeFile(m_dir / "Option.INI", tests::readFile(std::string(MELLOWBY_TEST_DATA_DIR) + "/ini/crlf.ini"));
    EXPECT_TRUE(getIniSetting(m_folder, m_settings, m_box));
    EXPECT_EQ(m_settings, (Settings { "GIF|JPG", "TXT|DOC", true, false }));
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(GetIniSettingTest, UnreadableFileShowsItsBoxAndKeepsTheSettings)
{
    std::filesystem::create_directory(m_dir / "option.ini");
    const Settings before = m_settings;
    EXPECT_FALSE(getIniSetting(m_folder, m_settings, m_box));
    EXPECT_EQ(m_settings, before);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, "读取配置文件时出错！(错误代号:21)\r\n错误描述：Is a directory");
    EXPECT_EQ(m_box.shown[0].title, "getIniSetting");
    EXPECT_EQ(m_box.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(m_box.shown[0].buttons, MessageButtons::Ok);
}

// An option.ini that an earlier version of this program wrote in UTF-8 gives its lists as they
// were typed (a filter of JPÉ still drops a.jpé, see the scanner's tests), and the next save
// writes the code page.
TEST_F(GetIniSettingTest, AFileWrittenInUtf8ReadsAsUtf8AndIsSavedInTheCodePage)
{
    tests::writeFile(m_dir / "option.ini", "[Options]\r\nNoFileStr=JPÉ|图片\r\nYesFileStr=文档\r\nifUseOption=1\r\n");
    EXPECT_TRUE(getIniSetting(m_folder, m_settings, m_box));
    EXPECT_EQ(m_settings, (Settings { "JPÉ|图片", "文档", false, true }));

    saveSettings(m_folder, { "GIF|图片", "文档", true, true }, m_settings, m_box);
    EXPECT_EQ(tests::readFile(m_dir / "option.ini"),
        "[Options]\r\nNoFileStr=GIF|\xCD\xBC\xC6\xAC\r\nYesFileStr=\xCE\xC4\xB5\xB5\r\nifUseOption=1\r\n"
        "ifYesFile=1\r\n");
    EXPECT_EQ(m_settings, (Settings { "GIF|图片", "文档", true, true }));
    EXPECT_TRUE(m_box.shown.empty());
}

// A list holding a character the code page lacks (an emoji, a letter GBK does not have) cannot be
// stored: the box names it, and the file and the setting keep the old list.
TEST_F(GetIniSettingTest, AListTheCodePageCannotHoldIsRefusedInABoxAndTheFileIsKept)
{
    const std::string original = "[Options]\r\nNoFileStr=GIF|\xCE\xC4\xB5\xB5\r\nYesFileStr=TXT\r\nifYesFile=1\r\n";
    tests::writeFile(m_dir / "option.ini", original);
    Settings inMemory { "GIF|文档", "TXT", true, false };
    saveSettings(m_folder, { "GIF|😀", "TXT|JPÉ", true, false }, inMemory, m_box);
    EXPECT_EQ(tests::readFile(m_dir / "option.ini"), original + "ifUseOption=0\r\n");
    EXPECT_EQ(inMemory, (Settings { "GIF|文档", "TXT", true, false }));
    const auto refusal = [](const std::string& list, const std::string& character) {
        return platform::MessageRequest { "文件类型“" + list + "”中含有配置文件无法保存的字符“" + character
                + "”，此项设置未保存！",
            "保存选项", MessageIcon::Warning, MessageButtons::Ok };
    };
    EXPECT_EQ(m_box.shown, (std::vector { refusal("GIF|😀", "😀"), refusal("TXT|JPÉ", "É") }));

    // Nothing else to save: not a byte changes.
    m_box.shown.clear();
    const std::string saved = tests::readFile(m_dir / "option.ini");
    saveSettings(m_folder, { "😀", "TXT", true, false }, inMemory, m_box);
    EXPECT_EQ(tests::readFile(m_dir / "option.ini"), saved);
    EXPECT_EQ(m_box.shown, std::vector { refusal("😀", "😀") });
}

} // namespace
} // namespace mellowby::app
