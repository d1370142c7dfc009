#include "searchtesting.h"

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
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/fileopening.h"
#include "support/catalogmaker.h"
#include "support/temporaryfolder.h"

namespace mellowby::search {
namespace {

namespace fs = std::filesystem;
using platform::Volume;
using tests::CatalogMaker;

// The catalog Trip of the folder 2004 of a volume, scanned where it was mounted then; the test
// mounts volumes (folders of its own) where it likes and double-clicks a file of the catalog.
class OpeningOnVolumes : public testing::DataFolderTest {
protected:
    void SetUp() override { scanTrip(m_photos); }

    void scanTrip(const Volume& volume)
    {
        m_photos = volume;
        m_volumes.mounted = { volume };
        CatalogMaker maker(m_data);
        maker.setRoot(volume.mountPoint + "/2004");
        maker.directory("", { CatalogMaker::dir("docs") });
        maker.directory("docs", { CatalogMaker::file("a.txt") });
        ASSERT_TRUE(maker.write("Trip", &m_volumes));
    }

    Volume mountedAt(Volume volume, const std::string& folder)
    {
        volume.mountPoint = m_folder / folder;
        fs::create_directories(volume.mountPoint + "/2004/docs");
        tests::writeFile(volume.mountPoint + "/2004/docs/a.txt", "x");
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

    static std::vector<fakes::FakeDesktopOpener::Opened> openedIn(const std::string& mountPoint)
    {
        return { { mountPoint + "/2004/docs/a.txt", mountPoint + "/2004/docs/" } };
    }

    static std::vector<platform::MessageRequest> notice(const std::string& text)
    {
        return { { text, "Mellowby", platform::MessageIcon::None, platform::MessageButtons::Ok } };
    }

    Volume m_photos { "1234-ABCD", "PHOTOS", "vfat", 8004304896, "/dev/sdb1", m_folder / "media/PHOTOS", "/" };
    catalog::DriveList m_drives;
    fakes::FakeDrives m_probe;
    fakes::FakeVolumes m_volumes;
    fakes::FakeDesktopOpener m_opener;
    FileOpening m_services { m_drives, m_probe, m_volumes, m_fileSystem, m_opener, "/opt/mellowby" };
};

// The stick scanned at media/PHOTOS came back at media/PHOTOS1. A row listed from the tree is
// of the current catalog.
TEST_F(OpeningOnVolumes, TheSameUuidAtANewMountPointOpensTheFileThere)
{
    m_volumes.mounted = { mountedAt(m_photos, "media/PHOTOS1") };
    doubleClick();
    EXPECT_EQ(m_opener.opened, openedIn(m_folder / "media/PHOTOS1"));
    EXPECT_TRUE(m_box.shown.empty());

    m_browser.getAllXmlToTree();
    FreshRightList(m_browser, m_list);
    m_opener.opened.clear();
    doubleClick("");
    EXPECT_EQ(m_opener.opened, openedIn(m_folder / "media/PHOTOS1"));
}

// Another stick, or another disc, where the catalog's was, without the file: the box names both.
// Discs burned with the same label, each mounted by the desktop at a folder of its label, are known
// by their drive's device and told apart in full.
TEST_F(OpeningOnVolumes, ADifferentDiscInTheDriveIsNamed)
{
    const Volume holiday { "5678-EF01", "HOLIDAY", "vfat", 4001366016, "/dev/sdb1", m_photos.mountPoint, "/" };
    m_volumes.mounted = { holiday };
    doubleClick();
    EXPECT_EQ(m_box.shown, notice("指定文件在磁盘 PHOTOS 上，驱动器中现在是磁盘 HOLIDAY ，请放入名为 Trip 的磁盘！"));

    scanTrip({ "2004-03-15-10-00-00-00", "DISC", "iso9660", 650000000, "/dev/sr0", m_folder / "media/DISC", "/" });
    m_volumes.mounted
        = { { "2010-01-01-00-00-00-00", "DISC", "iso9660", 700000000, "/dev/sr0", m_folder / "media/DISC1", "/" } };
    m_box.shown.clear();
    doubleClick();
    EXPECT_EQ(m_box.shown,
        notice("指定文件在光盘 DISC（UUID 2004-03-15-10-00-00-00，619 MB） 上，驱动器中现在是光盘 "
               "DISC（UUID 2010-01-01-00-00-00-00，667 MB） ，请放入名为 Trip 的光盘！"));
    EXPECT_TRUE(m_opener.opened.empty());
}

// The file is where the catalog says, on a volume its record no longer matches: reformatted (a new
// UUID), resized without a UUID, or a Data folder copied to a machine that knows none of its
// volumes. It opens there, without a word; the record only ever looks for a file that is not there.
TEST_F(OpeningOnVolumes, AFileWhereTheCatalogSaysOpensWhateverTheRecordSays)
{
    Volume reformatted = mountedAt(m_photos, "media/PHOTOS");
    reformatted.uuid = "9999-0000";
    Volume resizedWithoutUuid = reformatted;
    resizedWithoutUuid.uuid.clear();
    resizedWithoutUuid.totalBytes /= 2;
    const Volume elsewhere { "abcd", "ROOT", "ext4", 1000000000, "/dev/nvme0n1p2", "/", "/" };
    for (const Volume& now : { reformatted, resizedWithoutUuid, elsewhere }) {
        m_volumes.mounted = { now };
        doubleClick();
    }
    const auto opened = openedIn(m_photos.mountPoint);
    EXPECT_EQ(m_opener.opened, (std::vector { opened[0], opened[0], opened[0] }));

    Volume noUuid = m_photos;
    noUuid.uuid.clear();
    scanTrip(noUuid);
    m_volumes.mounted = { resizedWithoutUuid };
    doubleClick();
    EXPECT_EQ(m_opener.opened.size(), 4u);
    EXPECT_TRUE(m_box.shown.empty());
}

// Without UUIDs, the label, type and size tell the volume; one alike but for its size, in another
// reader, is not it, and nothing is where the catalog's was.
TEST_F(OpeningOnVolumes, WithoutUuidsTheLabelTypeAndSizeTellTheVolume)
{
    Volume noUuid = m_photos;
    noUuid.uuid.clear();
    scanTrip(noUuid);
    m_volumes.mounted = { mountedAt(noUuid, "media/PHOTOS1") };
    doubleClick();
    EXPECT_EQ(m_opener.opened, openedIn(m_folder / "media/PHOTOS1"));

    m_volumes.mounted.front().totalBytes = 4001366016;
    m_volumes.mounted.front().device = "/dev/sdc1";
    doubleClick();
    EXPECT_EQ(m_box.shown, notice("指定文件在磁盘 PHOTOS 上，现在找不到该磁盘，请放入名为 Trip 的磁盘！"));
    EXPECT_EQ(m_opener.opened.size(), 1u);
}

// Catalogs made before, or on Windows, have no record; a damaged record, or a mount table that
// cannot be read, counts as none: the file is opened where the list says, as it always was. An
// empty optical drive asks for the disc as it always did.
TEST_F(OpeningOnVolumes, WithoutARecordEverythingIsAsBefore)
{
    const std::string there = mountedAt(m_photos, "media/PHOTOS").mountPoint;
    m_volumes.mounted.clear();
    fs::remove(m_folder / "Data/Trip.vol");
    doubleClick();
    tests::writeFile(m_folder / "Data/Trip.vol", "mountpoint\n");
    doubleClick();
    scanTrip(m_photos);
    m_volumes.failure = platform::errorFromErrno(EACCES);
    doubleClick();
    const auto opened = openedIn(there);
    EXPECT_EQ(m_opener.opened, (std::vector { opened[0], opened[0], opened[0] }));
    EXPECT_TRUE(m_box.shown.empty());

    m_volumes.failure.reset();
    m_volumes.mounted.clear();
    m_drives.drives = { { m_photos.mountPoint, platform::DriveKind::CdRom } };
    doubleClick();
    EXPECT_EQ(m_box.shown, notice("指定文件在光盘上，请放入名为 Trip 的光盘！"));
    EXPECT_EQ(m_probe.mediaAsked, std::vector { m_photos.mountPoint });
}

} // namespace
} // namespace mellowby::search
