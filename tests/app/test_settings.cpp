#include "support/temporaryfolder.h"
#include "testconfig.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "app/programfolder.h"
#include "app/settings.h"
#include "fakes/fakemessagebox.h"
#include "platform/linux/linuxfilesystem.h"

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

} // namespace
} // namespace mellowby::app
