#include "support/temporaryfolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "platform/linux/linuxvolumes.h"
#include "platform/linux/mounttable.h"
#include "platform/paths.h"

namespace mellowby::platform {
namespace {

namespace fs = std::filesystem;
using tests::TemporaryFolder;
using tests::writeFile;

constexpr const char* kImageUuid = "3e6be9de-8139-11d1-9106-a43f08d823a6";

// A machine in a folder: devices are files under dev/, udev's links under disk/, mount points
// are folders under mnt/, and the mount table names them.
class Volumes : public ::testing::Test {
protected:
    Volumes()
    {
        writeFile(m_root / "dev/sdb1", "");
        for (const char* folder :
            { "mnt/usb/photos/2004", "mnt/nas", "mnt/disc/2004", "disk/by-uuid", "disk/by-label" })
            fs::create_directories(m_root / folder);
        fs::create_symlink("../../dev/sdb1", m_root / "disk/by-uuid/1234-ABCD");
        // udev writes a blank in a link's name as \x20.
        fs::create_symlink("../../dev/sdb1", m_root / "disk/by-label/USB\\x20STICK");
        fs::create_symlink(m_root / "mnt/usb/photos", m_root / "photos-link");
    }

    void writeMountTable(const std::string& extra = {})
    {
        writeFile(m_root / "mountinfo",
            "22 27 0:21 / /proc rw,relatime shared:5 - proc proc rw\n"
            "27 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
                + ("45 27 8:17 / " + (m_root / "mnt/usb") + " rw,nosuid - vfat " + (m_root / "dev/sdb1") + " rw\n")
                + ("46 27 0:45 / " + (m_root / "mnt/nas") + " rw - nfs4 nas:/export rw\n") + extra);
    }

    LinuxVolumes volumes() { return LinuxVolumes({ m_root / "mountinfo", m_root / "dev", m_root / "disk" }); }

    TemporaryFolder m_root;
};

TEST(Paths, ThePartOfAPathBelowAFolder)
{
    EXPECT_EQ(pathBelow("/media/cd/a/b", "/media/cd"), "a/b");
    EXPECT_EQ(pathBelow("/media/cd/a", "/media/cd/"), "a");
    EXPECT_EQ(pathBelow("/media/cd/", "/media/cd"), "");
    EXPECT_EQ(pathBelow("/a", "/"), "a");
    EXPECT_EQ(pathBelow("/media/cdrom/a", "/media/cd"), std::nullopt);
    EXPECT_EQ(pathBelow("/media", "/media/cd"), std::nullopt);
    EXPECT_EQ(pathBelow("/a", ""), std::nullopt);
}

TEST(MountTable, RootsAndMountPointsAreUnescapedAndLaterMountsHideEarlierOnes)
{
    const auto mounts = visibleMounts("27 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                                      "40 27 0:50 /@home/ann\\040b /srv/a\\040b rw - btrfs /dev/sda3 rw\n"
                                      "not a mount\n"
                                      "41 27 0:51 / /srv/a\\040b rw - tmpfs tmpfs rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[1], (MountEntry { "0:51", "/", "/srv/a b", "tmpfs", "tmpfs" }));
    EXPECT_EQ(visibleMounts("40 27 0:50 /@home/ann\\040b /srv/x rw - btrfs /dev/sda3 rw\n")[0].root, "/@home/ann b");
}

// Without a readable device, the UUID and label come from udev's links; the size from the
// mounted file system; the path below the mount point with symbolic links resolved.
TEST_F(Volumes, PlacesAndVolumesFromTheMountTableAndUdevLinks)
{
    writeMountTable();
    const auto place = volumes().placeOf(m_root / "photos-link/2004");
    ASSERT_TRUE(place) << place.error().description;
    EXPECT_EQ(place->relativePath, "photos/2004");
    const Volume& usb = place->volume;
    EXPECT_EQ(usb.uuid, "1234-ABCD");
    EXPECT_EQ(usb.label, "USB STICK");
    EXPECT_EQ(usb.type, "vfat");
    EXPECT_EQ(usb.device, m_root / "dev/sdb1");
    EXPECT_EQ(usb.mountPoint, m_root / "mnt/usb");
    EXPECT_EQ(usb.root, "/");
    EXPECT_EQ(usb.totalBytes, fs::space(m_root.path()).capacity);
    EXPECT_EQ(volumes().placeOf(m_root / "mnt/usb").value().relativePath, "");

    const auto mounted = volumes().mountedVolumes();
    ASSERT_TRUE(mounted);
    ASSERT_EQ(mounted->size(), 3u); // not /proc
    EXPECT_EQ((*mounted)[0].mountPoint, "/");
    EXPECT_EQ((*mounted)[1], usb);
    // A share is listed without asking its server for its size, and it is no volume to record.
    EXPECT_EQ((*mounted)[2].type, "nfs4");
    EXPECT_EQ((*mounted)[2].totalBytes, 0u);
    EXPECT_EQ((*mounted)[2].device, "");
    EXPECT_EQ(volumes().placeOf(m_root / "mnt/nas").error().number, EOPNOTSUPP);

    EXPECT_EQ(volumes().placeOf(m_root / "missing").error().number, ENOENT);
    fs::remove(m_root / "mountinfo");
    EXPECT_EQ(volumes().mountedVolumes().error().number, ENOENT);
    EXPECT_EQ(volumes().placeOf(m_root.path()).error().number, ENOENT);
}

// A device that can be read is asked itself (udev may have no links for it, as in a container):
// an ext4 image stands for one. A mount of a folder of it keeps that folder as its root.
TEST_F(Volumes, ReadableDevicesAreAskedThroughLibblkid)
{
    const std::string image = m_root / "dev/loop7";
    writeFile(image, "");
    fs::resize_file(image, 4 * 1024 * 1024);
    const std::string command = "PATH=\"$PATH:/sbin:/usr/sbin\" mkfs.ext4 -q -F -L 'PHOTOS 13' -U "
        + std::string(kImageUuid) + " '" + image + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "mkfs.ext4 is not installed, so there is no file system image to read";
    writeMountTable("50 27 7:7 /photos " + (m_root / "mnt/disc") + " ro - ext4 " + image + " ro\n");

    const auto place = volumes().placeOf(m_root / "mnt/disc/2004");
    ASSERT_TRUE(place) << place.error().description;
    EXPECT_EQ(place->volume.uuid, kImageUuid);
    EXPECT_EQ(place->volume.label, "PHOTOS 13");
    EXPECT_EQ(place->volume.root, "/photos");
    EXPECT_EQ(place->relativePath, "2004");
}

TEST(LinuxVolumes, ThisMachineHasItsRootFileSystemMounted)
{
    const auto mounted = LinuxVolumes().mountedVolumes();
    ASSERT_TRUE(mounted);
    EXPECT_TRUE(std::ranges::any_of(*mounted, [](const Volume& volume) { return volume.mountPoint == "/"; }));
}

} // namespace
} // namespace mellowby::platform
