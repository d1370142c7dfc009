#include <gtest/gtest.h>

#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"

namespace mellowby::catalog {
namespace {

using platform::Volume;

const Volume kPhotos { "1234-ABCD", "PHOTOS", "vfat", 8004304896, "/dev/sdb1", "/media/ann/PHOTOS", "/" };
const VolumeRecord kRecord { kPhotos, "2004", "/media/ann//PHOTOS/2004/" };

Volume mountedAt(Volume volume, std::string mountPoint, std::string root = "/")
{
    volume.mountPoint = std::move(mountPoint);
    volume.root = std::move(root);
    return volume;
}

// A volume mounted in several places is taken where the scan found it, else where all of it is
// mounted; a mount of another folder of it does not hold the scanned folder. Locations are listed
// with doubled separators written as one, and only those under the scanned folder move.
TEST(LocateVolume, OneVolumeMountedInSeveralPlaces)
{
    const Volume part = mountedAt(kPhotos, "/srv/part", "/2004");
    const Volume elsewhere = mountedAt(kPhotos, "/srv/other", "/1999");
    const Volume whole = mountedAt(kPhotos, "/mnt/whole");
    EXPECT_EQ(locateVolume(kRecord, { elsewhere, part, whole }),
        (VolumeWhereabouts { VolumeState::Mounted, whole, "/mnt/whole/2004" }));
    EXPECT_EQ(locateVolume(kRecord, { elsewhere, part }).scannedPathNow, "/srv/part");
    EXPECT_EQ(locateVolume(kRecord, { whole, kPhotos }).scannedPathNow, "/media/ann/PHOTOS/2004");
    EXPECT_EQ(locateVolume(kRecord, { elsewhere }).state, VolumeState::Absent);

    EXPECT_EQ(relocated(kRecord, "/media/ann/PHOTOS/2004/a/b.jpg", "/srv/part"), "/srv/part/a/b.jpg");
    EXPECT_EQ(relocated(kRecord, "/media/ann/PHOTOS/2004", "/srv/part"), "/srv/part");
    EXPECT_EQ(relocated(kRecord, "/media/ann/PHOTOS/20045/a.jpg", "/srv/part"), std::nullopt);
    EXPECT_EQ(relocated(kRecord, "E:\\2004\\a.jpg", "/srv/part"), std::nullopt);
}

// Another volume where the catalog's was, at its mount point or from its device, is named.
TEST(LocateVolume, AnotherVolumeInItsPlace)
{
    Volume other { "5678-EF01", "HOLIDAY", "vfat", 4001366016, "/dev/sdb1", "/media/ann/PHOTOS", "/" };
    EXPECT_EQ(locateVolume(kRecord, { other }), (VolumeWhereabouts { VolumeState::Replaced, other, {} }));
    other.mountPoint = "/media/ann/HOLIDAY";
    EXPECT_EQ(locateVolume(kRecord, { other }).state, VolumeState::Replaced);
    other.device = "/dev/sdc1";
    EXPECT_EQ(locateVolume(kRecord, { other }), VolumeWhereabouts {});
}

TEST(VolumeDescription, LabelElseUuidElseTypeAndInFullWhatElseTellsThemApart)
{
    const Volume noLabel { "9e2c", "", "ext4", 500107862016, "/dev/sda2", "/", "/" };
    const Volume bare { "", "", "tmpfs", 1 << 20, "", "/tmp", "/" };
    EXPECT_EQ(volumeDescription(kPhotos), "PHOTOS");
    EXPECT_EQ(volumeDescription(noLabel), "UUID 9e2c");
    EXPECT_EQ(volumeDescription(bare), "无卷标的 tmpfs 卷");
    EXPECT_EQ(volumeDescription(kPhotos, VolumeDetail::Full), "PHOTOS（UUID 1234-ABCD，7633 MB）");
    EXPECT_EQ(volumeDescription(noLabel, VolumeDetail::Full), "UUID 9e2c（ext4，476940 MB）");
    EXPECT_EQ(volumeDescription(bare, VolumeDetail::Full), "无卷标的 tmpfs 卷（1 MB）");
}

} // namespace
} // namespace mellowby::catalog
