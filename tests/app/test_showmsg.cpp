#include <gtest/gtest.h>

#include "app/showmsg.h"
#include "fakes/fakemessagebox.h"
#include "platform/error.h"

namespace mellowby::app {
namespace {

TEST(ComposeMsgTest, CodeAndDescriptionParts)
{
    const MsgText full = composeMsg("显示XML文件时出错！", 5, "Invalid argument", "frmMain-ShowXml");
    EXPECT_EQ(full.text, "显示XML文件时出错！(错误代号:5)\r\n错误描述：Invalid argument");
    EXPECT_EQ(full.title, "frmMain-ShowXml");

    EXPECT_EQ(composeMsg("读取配置文件时出错！", 0, "", "Main").text, "读取配置文件时出错！");
    EXPECT_EQ(composeMsg("请先选则一个文件后再进行查找！", 0, "查找文件", "").text,
        "请先选则一个文件后再进行查找！\r\n错误描述：查找文件");
    EXPECT_EQ(composeMsg("出错!", -5, "", "x").text, "出错!(错误代号:-5)");
    EXPECT_EQ(composeMsg("出错!", -2147483647 - 1, "", "x").text, "出错!(错误代号:-2147483648)");
    EXPECT_EQ(composeMsg("第一行\r\n第二行", 3, "", "x").text, "第一行\r\n第二行(错误代号:3)");
}

TEST(ComposeMsgTest, EmptySourceGivesTheProgramTitle)
{
    EXPECT_EQ(composeMsg("光驱未准备好！", 0, "", "").title, "Quillon");
    EXPECT_EQ(composeMsg("光驱未准备好！", 0, "", " ").title, " ");
}

TEST(ShowMsgTest, ShowsAWarningWithOneOkButton)
{
    fakes::FakeMessageBox box;
    ShowMsg(box, "删除XML文件时出错！", 2, "No such file or directory", "frmMain-DelXmlFile");
    ShowMsg(box, "读取配置文件时出错！", platform::Error { 13, "Permission denied" }, "getIniSetting");
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0],
        (platform::MessageRequest { "删除XML文件时出错！(错误代号:2)\r\n错误描述：No such file or directory",
            "frmMain-DelXmlFile", platform::MessageIcon::Warning, platform::MessageButtons::Ok }));
    EXPECT_EQ(box.shown[1].text, "读取配置文件时出错！(错误代号:13)\r\n错误描述：Permission denied");
    EXPECT_EQ(box.shown[1].title, "getIniSetting");
}

} // namespace
} // namespace mellowby::app
