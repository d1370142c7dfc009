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
    list.labels = { "stale" };
    EXPECT_EQ(getDriveList(drives, list), 7u);
    EXPECT_EQ(list.labels,
        (std::vector<std::string> { "/media/stick(可移动盘)", "/(本地硬盘)", "/mnt/share(可移动盘)",
            "/media/cdrom0(光驱)", "/dev/sr1(光驱)", "/mnt/ram(虚拟磁盘)", "/srv/odd(未知设备)" }));
    EXPECT_EQ(list.cdDrives, "/media/cdrom0;/dev/sr1");

    drives.drives = { { "/", DriveKind::Fixed } };
    EXPECT_EQ(getDriveList(drives, list), 1u);
    EXPECT_EQ(list.cdDrives, "");
}

TEST(DriveList, NullListAndFields)
{
    using namespace std::string_literals;
    std::size_t count = 99;
    EXPECT_EQ(nullListToStr("A:\\\0C:\\\0"s, count), "A:\\;C:\\;");
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(nullListToStr("", count), "");
    EXPECT_EQ(count, 0u);

    EXPECT_EQ(getStrByIndex("A:\\;C:\\;", 2, ";"), "C:\\");
    EXPECT_EQ(getStrByIndex("A:\\;C:\\", 2, ";"), "");
    EXPECT_EQ(getStrByIndex("A:\\;C:\\;", 0, ";"), "");
    EXPECT_EQ(getStrByIndex("A:\\;C:\\;", 3, ";"), "");
    EXPECT_EQ(getStrByIndex("", 1, ";"), "");
    EXPECT_EQ(getStrByIndex("aXbxc", 2, "x"), "b"); // letters of the separator match in any case
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
