#include <gtest/gtest.h>

#include "catalog/volumerecord.h"
#include "catalog/volumewhereabouts.h"

namespace mellowby::catalog {
namespace {

using platform::Volume;

const Volume kPhotos { "1234-ABCD", "PHOTOS", "vfat", 8004304896, "/dev/sdb1", "/media/ann/PHOTOS", "/" };
const Volume kSystem { "9e2c", "", "ext4", 500107862016, "/dev/sda2", "/", "/" };

VolumeRecord photosRecord()
{
    return { kPhotos, "2004", "/media/ann/PHOTOS/2004" };
}

Volume mountedAt(Volume volume, std::string mountPoint, std::string root = "/")
{
    volume.mountPoint = std::move(mountPoint);
    volume.root = std::move(root);
    return volume;
}

TEST(SameVolume, ByUuidWhereBothHaveOneElseByLabelTypeAndSizeTogether)
{
    Volume relabelled = mountedAt(kPhotos, "/mnt/x");
    relabelled.label = "OTHER";
    EXPECT_TRUE(sameVolume(kPhotos, relabelled));
    Volume twin = kPhotos; // a copy of the stick: all alike but its UUID
    twin.uuid = "5678-EF01";
    EXPECT_FALSE(sameVolume(kPhotos, twin));

    Volume noUuid = kPhotos;
    noUuid.uuid.clear();
    EXPECT_TRUE(sameVolume(kPhotos, noUuid));
    for (auto change : { +[](Volume& v) { v.label = "PHOTOS2"; }, +[](Volume& v) { v.type = "exfat"; },
             +[](Volume& v) { v.totalBytes += 512; } }) {
        Volume other = noUuid;
        change(other);
        EXPECT_FALSE(sameVolume(kPhotos, other));
        EXPECT_FALSE(sameVolume(other, kPhotos));
    }
}

// The stick that came back at /media/ann/PHOTOS1: the scanned folder and every file under it are
// found there.
TEST(LocateVolume, TheSameVolumeAtAnotherMountPoint)
{
    const VolumeRecord record = photosRecord();
    const Volume now = mountedAt(kPhotos, "/media/ann/PHOTOS1");
    const auto where = locateVolume(record, { kSystem, now });
    EXPECT_EQ(where, (VolumeWhereabouts { VolumeState::Mounted, now, "/media/ann/PHOTOS1/2004" }));

    EXPECT_EQ(relocated(record, "/media/ann/PHOTOS/2004/trip/a.jpg", where.scannedPathNow),
        "/media/ann/PHOTOS1/2004/trip/a.jpg");
    EXPECT_EQ(relocated(record, "/media/ann/PHOTOS/2004", where.scannedPathNow), "/media/ann/PHOTOS1/2004");
    EXPECT_EQ(relocated(record, "/media/ann/PHOTOS/20045/a.jpg", where.scannedPathNow), std::nullopt);
    EXPECT_EQ(relocated(record, "E:\\2004\\a.jpg", where.scannedPathNow), std::nullopt);
    // The catalog lists its locations with doubled separators written as one.
    VolumeRecord doubled = record;
    doubled.scannedPath = "/media/ann//PHOTOS/2004/";
    EXPECT_EQ(relocated(doubled, "/media/ann/PHOTOS/2004/a.jpg", "/mnt/p"), "/mnt/p/a.jpg");
}

// A volume mounted in several places is taken where the scan found it, else where all of it is
// mounted; a mount of another folder of it does not hold the scanned folder.
TEST(LocateVolume, OneVolumeMountedInSeveralPlaces)
{
    const VolumeRecord record = photosRecord();
    const Volume part = mountedAt(kPhotos, "/srv/part", "/2004");
    const Volume elsewhere = mountedAt(kPhotos, "/srv/other", "/1999");
    const Volume whole = mountedAt(kPhotos, "/mnt/whole");
    EXPECT_EQ(locateVolume(record, { elsewhere, part, whole }).scannedPathNow, "/mnt/whole/2004");
    EXPECT_EQ(locateVolume(record, { elsewhere, part }).scannedPathNow, "/srv/part");
    EXPECT_EQ(locateVolume(record, { whole, kPhotos }).scannedPathNow, "/media/ann/PHOTOS/2004");
    EXPECT_EQ(locateVolume(record, { elsewhere }).state, VolumeState::Absent);
}

// Another volume where the catalog's was, at its mount point or from its device, is named.
TEST(LocateVolume, AnotherVolumeInItsPlace)
{
    const VolumeRecord record = photosRecord();
    Volume other { "5678-EF01", "HOLIDAY", "vfat", 4001366016, "/dev/sdb1", "/media/ann/PHOTOS", "/" };
    EXPECT_EQ(locateVolume(record, { kSystem, other }), (VolumeWhereabouts { VolumeState::Replaced, other, {} }));
    other.mountPoint = "/media/ann/HOLIDAY";
    EXPECT_EQ(locateVolume(record, { kSystem, other }).state, VolumeState::Replaced);
    other.device = "/dev/sdc1";
    EXPECT_EQ(locateVolume(record, { kSystem, other }), VolumeWhereabouts {});
    EXPECT_EQ(locateVolume(record, {}), VolumeWhereabouts {});
}

TEST(VolumeDescription, LabelElseUuidElseType)
{
    EXPECT_EQ(volumeDescription(kPhotos), "PHOTOS");
    EXPECT_EQ(volumeDescription(kSystem), "UUID 9e2c");
    EXPECT_EQ(volumeDescription({ "", "", "tmpfs", 1, "", "/tmp", "/" }), "无卷标的 tmpfs 卷");
    EXPECT_EQ(volumeDescription(kPhotos, VolumeDetail::Full), "PHOTOS（UUID 1234-ABCD，7633 MB）");
    EXPECT_EQ(volumeDescription(kSystem, VolumeDetail::Full), "UUID 9e2c（ext4，476940 MB）");
    EXPECT_EQ(volumeDescription({ "", "", "tmpfs", 1 << 20, "", "/tmp", "/" }, VolumeDetail::Full),
        "无卷标的 tmpfs 卷（1 MB）");
}

} // namespace
} // namespace mellowby::catalog
