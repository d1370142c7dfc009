#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "platform/linux/linuxdrives.h"
#include "support/temporaryfolder.h"

namespace mellowby::platform {
namespace {

namespace fs = std::filesystem;
using tests::TemporaryFolder;
using tests::writeFile;

// A sysfs tree as the kernel lays it out: device numbers and block names are links into
// the device hierarchy, where a partition sits inside its whole disk.
class Drives : public ::testing::Test {
protected:
    Drives()
    {
        disk("usb/block/sdb", "1", "8:17", "sdb1");
        disk("ata1/block/sda", "0", "8:2", "sda2");
        disk("ata2/block/sr0", "1", "11:0", {});
        disk("ata3/block/sr1", "1", "11:1", {});
        writeFile(m_fstab,
            "# static file system information\n"
            "UUID=1234 / ext4 defaults 0 1\n"
            "/dev/sr0  /media/cdrom0  udf,iso9660 user,noauto  0  0\n");
    }

    void disk(const std::string& place, const std::string& removable, const std::string& majorMinor,
        const std::string& partition)
    {
        const std::string device = "devices/pci0000:00/" + place;
        writeFile(m_sys / device + "/removable", removable + "\n");
        std::string node = device;
        if (!partition.empty()) {
            node += "/" + partition;
            writeFile(m_sys / node + "/partition", "1\n");
        }
        writeFile(m_sys / node + "/dev", majorMinor + "\n");
        fs::create_directories(m_sys / "dev/block");
        fs::create_directories(m_sys / "block");
        fs::create_symlink("../../" + node, m_sys / "dev/block/" + majorMinor);
        fs::create_symlink("../" + device, m_sys / "block/" + fs::path(device).filename().string());
    }

    std::vector<DriveEntry> classify(std::string_view mountInfo)
    {
        return classifyDrives(mountInfo, tests::readFile(m_fstab), m_sys.path(), "/dev");
    }

    TemporaryFolder m_sys;
    TemporaryFolder m_etc;
    std::string m_fstab = m_etc / "fstab";
};

constexpr std::string_view kMountInfo
    = "22 27 0:21 / /proc rw,relatime shared:5 - proc proc rw\n"
      "23 27 0:22 / /sys rw,relatime shared:6 - sysfs sysfs rw\n"
      "24 27 0:6 / /dev rw - devtmpfs devtmpfs rw,size=8k\n"
      "25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
      "26 27 0:24 / /run rw,nosuid - tmpfs tmpfs rw,mode=755\n"
      "27 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
      "40 27 8:2 / /mnt/scratch rw - ext4 /dev/sda2 rw\n"
      "41 27 0:45 / /mnt/nas rw shared:60 - nfs4 nas:/export rw,vers=4.2\n"
      "42 27 0:46 / /mnt/scratch rw - tmpfs tmpfs rw\n"
      "43 26 0:47 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "44 27 7:0 / /snap/core22/1380 ro - squashfs /dev/loop0 ro\n"
      "45 27 8:17 / /media/user/USB\\040STICK rw,nosuid shared:70 - vfat /dev/sdb1 rw\n"
      "46 27 0:48 / /mnt/remote rw - fuse.sshfs me@host: rw\n";

TEST_F(Drives, ClassifiesMountPointsAndListsEmptyOpticalDrives)
{
    const std::vector<DriveEntry> expected {
        { { "/", DriveKind::Fixed }, {}, true },
        { { "/dev/sr1", DriveKind::CdRom }, "/dev/sr1", false },
        { { "/media/cdrom0", DriveKind::CdRom }, "/dev/sr0", false },
        { { "/media/user/USB STICK", DriveKind::Removable }, {}, true },
        { { "/mnt/nas", DriveKind::Remote }, {}, true },
        { { "/mnt/remote", DriveKind::Remote }, {}, true },
        { { "/mnt/scratch", DriveKind::RamDisk }, {}, true },
    };
    EXPECT_EQ(classify(kMountInfo), expected);
}

TEST_F(Drives, MountedDiscIsListedAtItsMountPointOnly)
{
    const auto drives = classify("27 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
                                 "50 27 11:0 / /media/user/PHOTOS\\0402004 ro,nosuid - iso9660 /dev/sr0 ro\n"
                                 "51 27 0:50 / /srv/pool rw - zfs pool/data rw\n");
    const std::vector<DriveEntry> expected {
        { { "/", DriveKind::Fixed }, {}, true },
        { { "/dev/sr1", DriveKind::CdRom }, "/dev/sr1", false },
        { { "/media/user/PHOTOS 2004", DriveKind::CdRom }, "/dev/sr0", true },
        { { "/srv/pool", DriveKind::Unknown }, {}, true },
    };
    EXPECT_EQ(drives, expected);
}

TEST_F(Drives, MediaReadyOnlyForListedReadableRoots)
{
    TemporaryFolder place;
    fs::create_directories(place / "disk");
    writeFile(m_etc / "mountinfo",
        std::string(kMountInfo) + "60 27 8:2 / " + (place / "disk") + " rw - ext4 /dev/sda2 rw\n" + "61 27 8:2 / "
            + (place / "gone") + " rw - ext4 /dev/sda2 rw\n");
    LinuxDrives drives({ m_etc / "mountinfo", m_fstab, m_sys.path(), place / "dev" });

    EXPECT_EQ(drives.listDrives().size(), 9u);
    EXPECT_EQ(drives.mediaReady(place / "disk"), true);
    EXPECT_EQ(drives.mediaReady(place / "disk/"), true);
    EXPECT_EQ(drives.mediaReady(""), false);
    EXPECT_EQ(drives.mediaReady(place.path()), false);
    EXPECT_EQ(drives.mediaReady(place / "gone"), false);
    // No device node to open: an empty drive, not a failure.
    EXPECT_EQ(drives.mediaReady("/media/cdrom0"), false);
    EXPECT_EQ(drives.mediaReady(place / "dev/sr1"), false);
}

TEST_F(Drives, UnreadableMountTableIsAnErrorForTheMediaCheck)
{
    LinuxDrives drives({ m_etc / "missing", m_fstab, m_sys.path(), "/dev" });
    EXPECT_EQ(drives.mediaReady("/").error().number, ENOENT);
    EXPECT_TRUE(drives.listDrives().empty());
}

TEST(LinuxDrives, ThisMachineListsItsRootFileSystem)
{
    const auto drives = LinuxDrives().listDrives();
    EXPECT_TRUE(std::ranges::is_sorted(drives, {}, &Drive::root));
    EXPECT_TRUE(std::ranges::any_of(drives, [](const Drive& drive) { return drive.root == "/"; }));
    EXPECT_EQ(LinuxDrives().mediaReady("/"), true);
}

} // namespace
} // namespace mellowby::platform
