#include <filesystem>
#include <gtest/gtest.h>

#include "platform/linux/linuxvolumes.h"
#include "support/temporaryfolder.h"

namespace mellowby::platform {
namespace {

namespace fs = std::filesystem;
using tests::writeFile;

// A machine in a folder: the device is an empty file under dev/ (which libblkid cannot read, as
// an ordinary user cannot read most devices), udev's links lie under disk/, mount points are
// folders under mnt/. The UUID and label come from the links, the size from the mounted file
// system, the path below the mount point with symbolic links resolved; a bind mount keeps its
// folder as its root; a share is no volume to record and is listed without asking its server.
TEST(Volumes, FromTheMountTableAndUdevLinks)
{
    const tests::TemporaryFolder root;
    writeFile(root / "dev/sdb1", "");
    for (const char* folder : { "mnt/usb/photos/2004", "mnt/bind", "mnt/nas", "disk/by-uuid", "disk/by-label" })
        fs::create_directories(root / folder);
    fs::create_symlink("../../dev/sdb1", root / "disk/by-uuid/1234-ABCD");
    fs::create_symlink("../../dev/sdb1", root / "disk/by-label/USB\\x20STICK"); // udev writes a blank as \x20
    fs::create_symlink(root / "mnt/usb/photos", root / "photos-link");
    writeFile(root / "mountinfo",
        "22 27 0:21 / /proc rw,relatime shared:5 - proc proc rw\n"
            + ("45 27 8:17 / " + (root / "mnt/usb") + " rw,nosuid - vfat " + (root / "dev/sdb1") + " rw\n")
            + ("46 27 8:17 /photos\\0402004 " + (root / "mnt/bind") + " rw - vfat " + (root / "dev/sdb1") + " rw\n")
            + ("47 27 0:45 / " + (root / "mnt/nas") + " rw - nfs4 nas:/export rw\n"));
    LinuxVolumes volumes({ root / "mountinfo", root / "dev", root / "disk" });

    const auto place = volumes.placeOf(root / "photos-link/2004");
    ASSERT_TRUE(place) << place.error().description;
    const Volume usb { "1234-ABCD", "USB STICK", "vfat", fs::space(root.path()).capacity, root / "dev/sdb1",
        root / "mnt/usb", "/" };
    EXPECT_EQ(*place, (PlaceOnVolume { usb, "photos/2004" }));
    EXPECT_EQ(volumes.placeOf(root / "mnt/usb").value().relativePath, "");

    const auto mounted = volumes.mountedVolumes();
    ASSERT_TRUE(mounted);
    ASSERT_EQ(mounted->size(), 3u); // not /proc
    EXPECT_EQ((*mounted)[0], usb);
    EXPECT_EQ((*mounted)[1].root, "/photos 2004");
    EXPECT_EQ((*mounted)[2].totalBytes, 0u);
    EXPECT_EQ(volumes.placeOf(root / "mnt/nas").error().number, EOPNOTSUPP);

    EXPECT_EQ(volumes.placeOf(root / "missing").error().number, ENOENT);
    fs::remove(root / "mountinfo");
    EXPECT_EQ(volumes.mountedVolumes().error().number, ENOENT);
}

} // namespace
} // namespace mellowby::platform
