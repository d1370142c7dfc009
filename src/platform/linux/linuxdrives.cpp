#include "platform/linux/linuxdrives.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/linux/filedescriptor.h"
#include "platform/linux/mounttable.h"
#include "platform/paths.h"

namespace mellowby::platform {

namespace {

// O_NONBLOCK lets an empty drive be opened at all; without it the open fails on no medium.
bool discInDrive(const std::string& device)
{
    const auto drive = FileDescriptor::open(device, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return drive && ::ioctl(drive->get(), CDROM_DRIVE_STATUS, CDSL_CURRENT) == CDS_DISC_OK;
}

bool isReadableDirectory(const std::string& path)
{
    return FileDescriptor::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC).has_value();
}

} // namespace

LinuxDrives::LinuxDrives(DrivePaths paths)
    : m_paths(std::move(paths))
{
}

std::expected<std::vector<DriveEntry>, Error> LinuxDrives::currentDrives() const
{
    const auto mountInfo = readMountTable(m_paths.mountInfo);
    if (!mountInfo)
        return std::unexpected(mountInfo.error());
    const std::string fstab = readMountTable(m_paths.fstab).value_or("");
    return classifyDrives(*mountInfo, fstab, m_paths.sysfsRoot, m_paths.devRoot);
}

std::vector<Drive> LinuxDrives::listDrives()
{
    std::vector<Drive> drives;
    for (auto& entry : currentDrives().value_or(std::vector<DriveEntry> {}))
        drives.push_back(std::move(entry.drive));
    return drives;
}

std::expected<bool, Error> LinuxDrives::mediaReady(const std::string& root)
{
    if (root.empty())
        return false;
    const auto drives = currentDrives();
    if (!drives)
        return std::unexpected(drives.error());
    const auto wanted = withoutTrailingSeparators(root);
    const auto drive = std::ranges::find_if(
        *drives, [&](const DriveEntry& entry) { return withoutTrailingSeparators(entry.drive.root) == wanted; });
    if (drive == drives->end())
        return false;
    if (drive->drive.kind == DriveKind::CdRom && !(drive->mounted && discInDrive(drive->device)))
        return false;
    return isReadableDirectory(drive->drive.root);
}

} // namespace mellowby::platform
