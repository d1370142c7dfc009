#include "catalog/drivelist.h"

#include "app/showmsg.h"
#include "platform/paths.h"

namespace mellowby::catalog {

namespace {

std::string_view kindText(platform::DriveKind kind)
{
    switch (kind) {
    case platform::DriveKind::Removable:
    case platform::DriveKind::Remote:
        return "(可移动盘)";
    case platform::DriveKind::Fixed:
        return "(本地硬盘)";
    case platform::DriveKind::CdRom:
        return "(光驱)";
    case platform::DriveKind::RamDisk:
        return "(虚拟磁盘)";
    case platform::DriveKind::Unknown:
        break;
    }
    return "(未知设备)";
}

} // namespace

const platform::Drive* DriveList::opticalDriveOf(const std::string& path) const
{
    for (const auto& drive : drives) {
        if (drive.kind == platform::DriveKind::CdRom && platform::pathBelow(path, drive.root).has_value())
            return &drive;
    }
    return nullptr;
}

std::string driveLabel(const platform::Drive& drive)
{
    return drive.root + std::string(kindText(drive.kind));
}

std::size_t getDriveList(platform::IDrives& drives, DriveList& list)
{
    list.drives = drives.listDrives();
    return list.drives.size();
}

bool ifMediaValided(platform::IDrives& drives, platform::IMessageBox& box, const std::string& path)
{
    if (path.empty())
        return false;
    const auto ready = drives.mediaReady(path);
    if (!ready) {
        app::ShowMsg(box, "查看光驱时出错！", ready.error(), "modFunction-ifMediaValided");
        return false;
    }
    return *ready;
}

} // namespace mellowby::catalog
