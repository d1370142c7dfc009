#include "searchtesting.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "catalog/drivelist.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakedrives.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/catalogcommands.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/fileopening.h"
#include "support/catalogmaker.h"
#include "support/temporaryfolder.h"

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;
using platform::MessageAnswer;
using tests::CatalogMaker;

class CatalogCommands : public testing::DataFolderTest {
protected:
    void SetUp() override
    {
        for (const char* name : { "Photos 2004", "Trip", "abc.XML" }) {
            CatalogMaker maker(m_data);
            maker.directory("", { CatalogMaker::file("a.txt") });
            ASSERT_TRUE(maker.write(name));
        }
        m_browser.getAllXmlToTree();
        FreshRightList(m_browser, m_list);
    }
};

TEST_F(CatalogCommands, DeletingAsksThenTrashesTheCatalogAndKeepsItsTwin)
{
    ASSERT_EQ(m_browser.currentCatalogName(), "abc.XML"); // the first node was listed at start-up
    ASSERT_GT(m_list.size(), 0u);

    mnuEditDele_Click(m_browser, m_list); // answered No
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0],
        (platform::MessageRequest { "你确定要删除abc.XML名称的磁盘目录文件吗？", "删除磁盘目录文件",
            platform::MessageIcon::Information, platform::MessageButtons::YesNo }));
    EXPECT_TRUE(fs::exists(m_folder / "Data/abc.XML"));
    EXPECT_EQ(m_browser.collection().count(), 3u);

    m_box.queueAnswer(MessageAnswer::Yes);
    mnuEditDele_Click(m_browser, m_list);
    EXPECT_FALSE(fs::exists(m_folder / "Data/abc.XML"));
    EXPECT_TRUE(fs::exists(m_folder / "Data/abc.idx"));
    EXPECT_TRUE(fs::exists(fs::path(std::getenv("XDG_DATA_HOME")) / "Trash/files/abc.XML"));
    EXPECT_FALSE(m_browser.ifXmlLoaded("abc"));
    EXPECT_EQ(m_browser.tree().roots().size(), 2u);
    EXPECT_EQ(m_list.size(), 0u);
    EXPECT_EQ(m_browser.currentCatalogName(), "");

    m_box.shown.clear();
    mnuEditDele_Click(m_browser, m_list);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, "请先选中要删除的文件节点！");
    EXPECT_EQ(m_box.shown[0].title, "删除磁盘目录文件");

    // After a restart the deleted catalog does not come back, though its twin is still there.
    browse::CatalogBrowser restarted(m_indexes, m_box);
    restarted.getAllXmlToTree();
    EXPECT_EQ(restarted.collection().count(), 2u);
}

TEST_F(CatalogCommands, ACatalogWhoseFileCannotBeDeletedStays)
{
    fs::remove(m_folder / "Data/Trip.xml");
    EXPECT_FALSE(DelXmlFile(m_browser, m_list, "Trip"));
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0].text, "删除文件Trip时没有成功！");
    EXPECT_EQ(m_box.shown[0].title, "frmMain-DelXmlFile");
    EXPECT_TRUE(m_browser.ifXmlLoaded("Trip"));
    EXPECT_EQ(m_browser.currentCatalogName(), "abc.XML");
}

// A catalog whose Disk title would lead out of the Data folder: deleting it says why and touches
// nothing, the file beside the Data folder that the title names least of all.
TEST_F(CatalogCommands, ATitleLeadingOutOfDataDeletesNothing)
{
    tests::writeFile(m_folder / "victim.xml", "keep");
    const std::string twin = "<?xml version=\"1.0\"?>\r\n<Disk title=\"../victim\" Label=\"/x\">\r\n</Disk>\r\n";
    tests::writeFile(m_folder / "Data/evil.xml", twin);
    tests::writeFile(m_folder / "Data/evil.idx", twin);
    browse::CatalogBrowser browser(m_indexes, m_box);
    browser.getAllXmlToTree();
    browser.tree().select(browser.tree().roots().at(1)); // "abc.XML", then "../victim"
    FreshRightList(browser, m_list);
    ASSERT_EQ(browser.currentCatalogName(), "../victim");

    m_box.queueAnswer(MessageAnswer::Yes);
    mnuEditDele_Click(browser, m_list);
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[1],
        (platform::MessageRequest {
            "删除XML文件时出错！\r\n错误描述：目录名称“../victim”中含有“/”，会指向数据目录以外的位置。",
            "frmMain-DelXmlFile", platform::MessageIcon::Warning, platform::MessageButtons::Ok }));
    EXPECT_EQ(tests::readFile(m_folder / "victim.xml"), "keep");
    EXPECT_TRUE(fs::exists(m_folder / "Data/evil.xml"));
    EXPECT_EQ(browser.collection().count(), 4u);
    EXPECT_EQ(browser.currentCatalogName(), "../victim");
}

class OpeningFiles : public CatalogCommands {
protected:
    void SetUp() override
    {
        CatalogCommands::SetUp();
        m_drives.drives
            = { { "/media/cdrom", platform::DriveKind::CdRom }, { "/media/dvd", platform::DriveKind::CdRom } };
        m_file = m_folder / "docs/a.txt";
        fs::create_directories(m_file.parent_path());
        tests::writeFile(m_file, "x");
    }

    void fillRow(const std::string& location, const std::string& catalog)
    {
        const auto slash = location.rfind('/');
        m_list.clear();
        m_list.appendRow(location.substr(slash + 1), "1KB", "2004年3月15日", location.substr(0, slash + 1), catalog);
        m_list.finishFill();
    }

    catalog::DriveList m_drives;
    fakes::FakeDrives m_probe;
    fakes::FakeVolumes m_volumes;
    fakes::FakeDesktopOpener m_opener;
    FileOpening m_services { m_drives, m_probe, m_volumes, m_fileSystem, m_opener, "/opt/mellowby" };
    fs::path m_file;
};

TEST_F(OpeningFiles, OpensAnExistingFileInItsFolder)
{
    fillRow(m_file.string(), "");
    listVDir_DblClick(m_browser, m_list, std::nullopt, m_services);
    EXPECT_TRUE(m_opener.opened.empty());
    listVDir_DblClick(m_browser, m_list, 0, m_services);
    ASSERT_EQ(m_opener.opened.size(), 1u);
    EXPECT_EQ(m_opener.opened[0],
        (fakes::FakeDesktopOpener::Opened { m_file.string(), m_file.parent_path().string() + "/" }));
    EXPECT_TRUE(m_probe.mediaAsked.empty()); // not on an optical drive
    EXPECT_TRUE(m_box.shown.empty());
}

TEST_F(OpeningFiles, AsksForTheDiscWhenTheDriveIsEmpty)
{
    fillRow("/media/dvd/docs/a.txt", "Trip");
    listVDir_DblClick(m_browser, m_list, 0, m_services);
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown[0],
        (platform::MessageRequest { "指定文件在光盘上，请放入名为 Trip 的光盘！", "Mellowby",
            platform::MessageIcon::None, platform::MessageButtons::Ok }));
    EXPECT_EQ(m_probe.mediaAsked, (std::vector<std::string> { "/media/dvd" }));

    // A row listed from the tree names the current catalog.
    fillRow("/media/dvd/docs/a.txt", "");
    listVDir_DblClick(m_browser, m_list, 0, m_services);
    EXPECT_EQ(m_box.shown.back().text, "指定文件在光盘上，请放入名为 abc.XML 的光盘！");
    EXPECT_TRUE(m_opener.opened.empty());
}

TEST_F(OpeningFiles, MissingFilesAndFailures)
{
    m_probe.media["/media/cdrom"] = true;
    fillRow("/media/cdrom/gone.txt", "Trip"); // the disc in the drive is another one
    listVDir_DblClick(m_browser, m_list, 0, m_services);
    EXPECT_EQ(m_box.shown.back().text, "当前文件不存，请检查！");

    m_opener.failure = platform::Error { 2, "No such file or directory" };
    fillRow(m_file.string(), "");
    listVDir_DblClick(m_browser, m_list, 0, m_services);
    EXPECT_EQ(m_box.shown.back().text, "打开指定文件时出错！(错误代号:2)\r\n错误描述：No such file or directory");
    EXPECT_EQ(m_box.shown.back().title, "frmMain-listVDir_DblClick");
}

} // namespace
} // namespace mellowby::search
