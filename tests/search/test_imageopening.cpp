// Opening a listed file of a catalogued disc image: taken out of the image alone into the private
// folder and opened there; a crafted location finds nothing; an image that is gone is asked for.

#include "searchtesting.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "app/settings.h"
#include "archive/archivetexts.h"
#include "archive/archivetools.h"
#include "catalog/datetext.h"
#include "catalog/drivelist.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakedrives.h"
#include "fakes/fakevolumes.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/paths.h"
#include "scan/scanner.h"
#include "search/fileopening.h"

namespace mellowby::search {
namespace {

using tests::quoted;
using tests::run;

class OpeningFromImages : public testing::DataFolderTest {
protected:
    void SetUp() override
    {
        REQUIRE_TOOL("xorriso");
        tests::writeFile(m_folder / "src/照片/长城.jpg", std::string(5000, 'j'));
        tests::writeFile(m_folder / "src/readme.txt", "hello\n");
        run("xorriso -as mkisofs -quiet -J -R -V DISC -o " + quoted(m_image) + " " + quoted(m_folder / "src"));
        m_volumes.mounted = { m_root };
        const app::Settings settings;
        platform::LinuxDirectoryLister lister;
        const catalog::DateFormatter dates("zh_CN");
        scan::ScanContext context { m_store, settings, lister, m_box, dates, nullptr, nullptr, &m_volumes };
        ASSERT_TRUE(scan::genXml(context, m_image, "disc"));
    }

    void doubleClick(const std::string& name, const std::string& folder)
    {
        m_list.clear();
        m_list.appendRow(name, "5KB", "2004年3月15日", folder, "disc");
        m_list.finishFill();
        listVDir_DblClick(m_browser, m_list, 0, m_services);
    }

    static std::vector<platform::MessageRequest> notice(const std::string& text)
    {
        return { { text, "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok } };
    }

    const std::string m_image = m_folder / "disc.iso";
    const platform::Volume m_root { "abcd", "ROOT", "ext4", 1000000000, "/dev/sda2", "/", "/" };
    catalog::DriveList m_drives;
    fakes::FakeDrives m_probe;
    fakes::FakeVolumes m_volumes;
    fakes::FakeDesktopOpener m_opener;
    FileOpening m_services { m_drives, m_probe, m_volumes, m_fileSystem, m_opener, "/opt/mellowby" };
};

TEST_F(OpeningFromImages, AListedFileIsTakenOutAloneIntoThePrivateFolderAndOpened)
{
    doubleClick("长城.jpg", m_image + "/照片/");
    EXPECT_TRUE(m_box.shown.empty());
    ASSERT_EQ(m_opener.opened.size(), 1u);
    const std::string taken = m_opener.opened[0].target;
    const std::string folder(platform::folderPartOf(taken));
    EXPECT_EQ(m_opener.opened[0].workingDirectory, folder);
    EXPECT_TRUE(platform::pathBelow(folder, std::getenv("XDG_RUNTIME_DIR")).has_value()) << folder;
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(tests::readFile(taken), std::string(5000, 'j'));

    // A location that climbs is a name in the image's tree, where there is no such file.
    doubleClick("passwd", m_image + "/../../../etc/");
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_NE(m_box.shown[0].text.find(archive::kImageFileMissingText), std::string::npos) << m_box.shown[0].text;
    EXPECT_EQ(m_opener.opened.size(), 1u);
    EXPECT_EQ(tests::namesIn(folder), std::vector<std::string> { "长城.jpg" });
}

TEST_F(OpeningFromImages, AnImageThatIsGoneIsAskedFor)
{
    std::filesystem::rename(m_image, m_folder / "moved.iso");
    doubleClick("长城.jpg", m_image + "/照片/");
    EXPECT_EQ(m_box.shown, notice("光盘映像“" + m_image + "”不存在，请检查！"));

    m_volumes.mounted.clear();
    m_box.shown.clear();
    doubleClick("长城.jpg", m_image + "/照片/");
    EXPECT_EQ(m_box.shown, notice("指定文件在磁盘 ROOT 上，现在找不到该磁盘，请放入名为 disc 的磁盘！"));
    EXPECT_TRUE(m_opener.opened.empty());
}

} // namespace
} // namespace mellowby::search
