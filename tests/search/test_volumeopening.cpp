#include "support/temporaryfolder.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "browse/catalogbrowser.h"
#include "catalog/catalogstore.h"
#include "catalog/drivelist.h"
#include "fakes/catalogmaker.h"
#include "fakes/fakedesktopopener.h"
#include "fakes/fakedrives.h"
#include "fakes/fakemessagebox.h"
#include "fakes/fakevolumes.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/fileopening.h"

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;
using fakes::CatalogMaker;

} // namespace
} // namespace mellowby::search

namespace mellowby::platform {
// Boxes are shown by their texts when a comparison fails.
inline void PrintTo(const MessageRequest& request, std::ostream* out)
{
    *out << request.title << ": " << request.text;
}
} // namespace mellowby::platform

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;
using fakes::CatalogMaker;
using platform::Volume;

// The catalog Trip of the folder 2004 of a volume, scanned where it was mounted then; the test
// mounts volumes (folders of its own) where it likes and double-clicks a file of the catalog.
class OpeningOnVolumes : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_folder / "Data");
        m_volumes.mounted = { m_photos };
        scanTrip();
    }

    void scanTrip()
    {
        CatalogMaker maker(m_folder / "Data");
        maker.setRoot(m_photos.mountPoint + "/2004");
        maker.directory("", { CatalogMaker::dir("docs") });
        maker.directory("docs", { CatalogMaker::file("a.txt") });
        ASSERT_TRUE(maker.write("Trip", &m_volumes));
    }

    Volume mountedAt(Volume volume, const std::string& folder)
    {
        volume.mountPoint = m_folder / folder;
        fs::create_directories(volume.mountPoint + "/2004/docs");
        CatalogMaker::writeRaw(volume.mountPoint + "/2004/docs/a.txt", "x");
        return volume;
    }

    // Double-clicks the catalog's a.txt, listed where the scan found it.
    void doubleClick(const std::string& catalog = "Trip")
    {
        m_list.clear();
        m_list.appendRow("a.txt", "1KB", "2004年3月15日", m_photos.mountPoint + "/2004/docs/", catalog);
        m_list.finishFill();
        listVDir_DblClick(m_browser, m_list, 0, m_services);
    }

    std::vector<fakes::FakeDesktopOpener::Opened> openedIn(const std::string& mountPoint)
    {
        return { { mountPoint + "/2004/docs/a.txt", mountPoint + "/2004/docs/" } };
    }

    platform::MessageRequest notice(const std::string& text)
    {
        return { text, "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok };
    }

    tests::TemporaryFolder m_temporary;
    fs::path m_folder = m_temporary.path();
    Volume m_photos { "1234-ABCD", "PHOTOS", "vfat", 8004304896, "/dev/sdb1", m_folder / "media/PHOTOS", "/" };
    fakes::FakeMessageBox m_box;
    platform::LinuxFileSystem m_fileSystem;
    catalog::CatalogStore m_store { (m_folder / "Data").string(), m_fileSystem };
    browse::CatalogBrowser m_browser { m_store, m_box };
    FileList m_list;
    catalog::DriveList m_drives;
    fakes::FakeDrives m_probe;
    fakes::FakeVolumes m_volumes;
    fakes::FakeDesktopOpener m_opener;
    FileOpening m_services { m_drives, m_probe, m_volumes, m_fileSystem, m_opener, "/opt/mellowby" };
};

// The stick scanned at media/PHOTOS came back at media/PHOTOS1.
TEST_F(OpeningOnVolumes, TheSameUuidAtANewMountPointOpensTheFileThere)
{
    m_volumes.mounted = { mountedAt(m_photos, "media/PHOTOS1") };
    doubleClick();
    EXPECT_EQ(m_opener.opened, openedIn(m_folder / "media/PHOTOS1"));
    EXPECT_TRUE(m_box.shown.empty());

    // A row listed from the tree is of the current catalog.
    m_browser.getAllXmlToTree();
    FreshRightList(m_browser, m_list);
    m_opener.opened.clear();
    doubleClick("");
    EXPECT_EQ(m_opener.opened, openedIn(m_folder / "media/PHOTOS1"));
}

// Another stick, or another disc, where the catalog's was: the box names both, and the file of the
// same name on the other one is not opened.
TEST_F(OpeningOnVolumes, ADifferentDiscInTheDriveIsNamed)
{
    const Volume holiday { "5678-EF01", "HOLIDAY", "vfat", 4001366016, "/dev/sdb1", {}, "/" };
    m_volumes.mounted = { mountedAt(holiday, "media/PHOTOS") };
    doubleClick();
    EXPECT_EQ(m_box.shown,
        std::vector { notice("指定文件在磁盘 PHOTOS 上，驱动器中现在是磁盘 HOLIDAY ，请放入名为 Trip 的磁盘！") });
    EXPECT_TRUE(m_opener.opened.empty());

    // Discs burned with the same label, each mounted by the desktop at a folder of its label: the
    // drive is known by its device, and the discs by what else tells them apart.
    m_photos = { "2004-03-15-10-00-00-00", "DISC", "iso9660", 650000000, "/dev/sr0", m_folder / "media/DISC", "/" };
    m_volumes.mounted = { m_photos };
    scanTrip();
    const Volume other { "2010-01-01-00-00-00-00", "DISC", "iso9660", 700000000, "/dev/sr0", m_folder / "media/DISC1",
        "/" };
    m_volumes.mounted = { other };
    doubleClick();
    EXPECT_EQ(m_box.shown.back(),
        notice("指定文件在光盘 DISC（UUID 2004-03-15-10-00-00-00，619 MB） 上，驱动器中现在是光盘 "
               "DISC（UUID 2010-01-01-00-00-00-00，667 MB） ，请放入名为 Trip 的光盘！"));
    EXPECT_TRUE(m_opener.opened.empty());
}

TEST_F(OpeningOnVolumes, WithoutUuidsTheLabelTypeAndSizeTellTheVolume)
{
    Volume noUuid = m_photos;
    noUuid.uuid.clear();
    m_volumes.mounted = { noUuid };
    scanTrip();
    m_volumes.mounted = { mountedAt(noUuid, "media/PHOTOS1") };
    doubleClick();
    EXPECT_EQ(m_opener.opened, openedIn(m_folder / "media/PHOTOS1"));

    // Alike but for its size, in another reader: nothing is where the catalog's was, so it is missing.
    m_volumes.mounted.front().totalBytes = 4001366016;
    m_volumes.mounted.front().device = "/dev/sdc1";
    doubleClick();
    EXPECT_EQ(
        m_box.shown, std::vector { notice("指定文件在磁盘 PHOTOS 上，现在找不到该磁盘，请放入名为 Trip 的磁盘！") });
    EXPECT_EQ(m_opener.opened.size(), 1u);
}

// Catalogs made before, or on Windows, have no record; a record that cannot be read, or a mount
// table that cannot, counts as none: the file is opened where the list says, as it always was.
TEST_F(OpeningOnVolumes, WithoutARecordFilesOpenWhereListed)
{
    const fs::path record = m_folder / "Data/Trip.vol";
    const Volume there = mountedAt(m_photos, "media/PHOTOS");
    m_volumes.mounted.clear();
    for (const auto& damage : { +[](const fs::path& file) { fs::remove(file); },
             +[](const fs::path& file) { CatalogMaker::writeRaw(file, "mountpoint\n"); } }) {
        scanTrip();
        damage(record);
        m_opener.opened.clear();
        doubleClick();
        EXPECT_EQ(m_opener.opened, openedIn(there.mountPoint));
    }
    scanTrip();
    m_volumes.failure = platform::errorFromErrno(EACCES);
    m_opener.opened.clear();
    doubleClick();
    EXPECT_EQ(m_opener.opened, openedIn(there.mountPoint));
    EXPECT_TRUE(m_box.shown.empty());
}

// With no disc in the drive, the disc is asked for as it always was.
TEST_F(OpeningOnVolumes, AnEmptyOpticalDriveAsksForTheDiscAsBefore)
{
    m_drives.drives = { { m_photos.mountPoint, platform::DriveKind::CdRom } };
    m_volumes.mounted.clear();
    doubleClick();
    EXPECT_EQ(m_box.shown, std::vector { notice("指定文件在光盘上，请放入名为 Trip 的光盘！") });
    EXPECT_EQ(m_probe.mediaAsked, std::vector { m_photos.mountPoint });
}

} // namespace
} // namespace mellowby::search
