// Double-clicking a file inside an archive: only that member is taken out, into a folder only the
// user can enter, and opened there; an empty optical drive asks for its disc first.

#include "searchtesting.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "archive/archivetexts.h"
#include "archive/archivetools.h"
#include "catalog/drivelist.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakedrives.h"
#include "fakes/fakevolumes.h"
#include "search/fileopening.h"
#include "search/openedfilesfolder.h"

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;
using tests::quoted;
using tests::run;

class OpeningMembers : public testing::DataFolderTest {
protected:
    void SetUp() override
    {
        REQUIRE_TOOL("zip");
        fs::create_directories(m_folder / "src/trip");
        tests::writeFile(m_folder / "src/trip/a.jpg", "the photo");
        tests::writeFile(m_folder / "src/trip/b.txt", "another");
        fs::create_directories(m_disc);
        run("cd " + quoted(m_folder / "src") + " && zip -qr " + quoted(m_disc / "2004.zip") + " trip");
    }

    void doubleClick(const std::string& folder, const std::string& name)
    {
        m_list.clear();
        m_list.appendRow(name, "1KB", "2004年3月15日", folder, "disc");
        m_list.finishFill();
        listVDir_DblClick(m_browser, m_list, 0, m_services);
    }

    fs::path m_disc = m_folder / "media/cdrom";
    catalog::DriveList m_drives;
    fakes::FakeDrives m_probe;
    fakes::FakeVolumes m_volumes;
    fakes::FakeDesktopOpener m_opener;
    FileOpening m_services { m_drives, m_probe, m_volumes, m_fileSystem, m_opener, "/opt/mellowby" };
};

TEST_F(OpeningMembers, OnlyTheMemberIsTakenOutIntoThePrivateFolder)
{
    doubleClick(m_disc / "2004.zip/trip/", "a.jpg");
    ASSERT_EQ(m_opener.opened.size(), 1u) << (m_box.shown.empty() ? "" : m_box.shown.front().text);
    // The folder outlives the double-click: the program opening the file may read it later.
    const auto opened = openedFilesFolder();
    ASSERT_TRUE(opened);
    const std::string folder = *opened;
    EXPECT_EQ(m_opener.opened.front().target, folder + "/a.jpg");
    EXPECT_EQ(m_opener.opened.front().workingDirectory, folder + "/");
    EXPECT_EQ(tests::readFile(folder + "/a.jpg"), "the photo");
    // The folder is the run's, shared with files taken out of disc images.
    const auto holds = [&folder](const std::string& name) {
        const auto names = tests::namesIn(folder);
        return std::ranges::find(names, name) != names.end();
    };
    EXPECT_TRUE(holds("a.jpg"));
    struct stat status { };
    ASSERT_EQ(::stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    // A member no longer in the archive, and a folder of it, are said in the box.
    doubleClick(m_disc / "2004.zip/trip/", "gone.jpg");
    doubleClick(m_disc / "2004.zip/", "trip");
    EXPECT_EQ(m_opener.opened.size(), 1u);
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[0].text, archive::kMemberMissingText);
    EXPECT_EQ(m_box.shown[1].text, archive::kMemberIsFolderText);
    EXPECT_FALSE(holds("gone.jpg") || holds("trip"));
}

TEST_F(OpeningMembers, AnEmptyOpticalDriveAsksForTheDiscFirst)
{
    m_drives.drives = { { m_disc, platform::DriveKind::CdRom } };
    doubleClick(m_disc / "2004.zip/trip/", "a.jpg");
    ASSERT_EQ(m_box.shown.size(), 1u);
    EXPECT_EQ(m_box.shown.front().text, "指定文件在光盘上，请放入名为 disc 的光盘！");
    EXPECT_TRUE(m_opener.opened.empty());
}

} // namespace
} // namespace mellowby::search
