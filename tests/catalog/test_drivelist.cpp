#include <gtest/gtest.h>

#include "catalog/drivelist.h"
#include "fakes/fakedrives.h"
#include "fakes/fakemessagebox.h"

namespace mellowby::catalog {
namespace {

using platform::DriveKind;

TEST(DriveList, LabelsAndOpticalDrives)
{
    fakes::FakeDrives drives;
    drives.drives = { { "/media/stick", DriveKind::Removable }, { "/", DriveKind::Fixed },
        { "/mnt/share", DriveKind::Remote }, { "/media/cdrom0", DriveKind::CdRom }, { "/dev/sr1", DriveKind::CdRom },
        { "/mnt/ram", DriveKind::RamDisk }, { "/srv/odd", DriveKind::Unknown } };
    DriveList list;
    list.drives = { { "stale", DriveKind::Fixed } };
    EXPECT_EQ(getDriveList(drives, list), 7u);
    std::vector<std::string> labels;
    for (const auto& drive : list.drives)
        labels.push_back(driveLabel(drive));
    EXPECT_EQ(labels,
        (std::vector<std::string> { "/media/stick(可移动盘)", "/(本地硬盘)", "/mnt/share(可移动盘)",
            "/media/cdrom0(光驱)", "/dev/sr1(光驱)", "/mnt/ram(虚拟磁盘)", "/srv/odd(未知设备)" }));

    // A path lies on an optical drive on a separator boundary only; the drive stays structured.
    EXPECT_EQ(list.opticalDriveOf("/media/cdrom0/docs/a.txt"), &list.drives[3]);
    EXPECT_EQ(list.opticalDriveOf("/media/cdrom0"), &list.drives[3]);
    EXPECT_EQ(list.opticalDriveOf("/media/cdrom01/a.txt"), nullptr);
    EXPECT_EQ(list.opticalDriveOf("/media/stick/a.txt"), nullptr);
    list.drives = { { "/media/dvd/", DriveKind::CdRom } };
    EXPECT_EQ(list.opticalDriveOf("/media/dvd/a"), &list.drives[0]);
}

TEST(MediaCheck, AnswersAndFailures)
{
    fakes::FakeDrives drives;
    fakes::FakeMessageBox box;
    EXPECT_FALSE(ifMediaValided(drives, box, ""));
    EXPECT_TRUE(drives.mediaAsked.empty()); // an empty path touches no device

    drives.media.emplace("/media/cdrom", true);
    EXPECT_TRUE(ifMediaValided(drives, box, "/media/cdrom"));
    EXPECT_FALSE(ifMediaValided(drives, box, "/media/other"));
    EXPECT_TRUE(box.shown.empty());

    drives.media.emplace("/dev/sr0", std::unexpected(platform::Error { 5, "Input/output error" }));
    EXPECT_FALSE(ifMediaValided(drives, box, "/dev/sr0"));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "查看光驱时出错！(错误代号:5)\r\n错误描述：Input/output error");
    EXPECT_EQ(box.shown[0].title, "modFunction-ifMediaValided");
}

} // namespace
} // namespace mellowby::catalog
