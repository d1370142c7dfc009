#include "platform/linux/driveclassification.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "platform/linux/blockdevices.h"
#include "platform/linux/mounttable.h"

namespace mellowby::platform {

namespace {

namespace fs = std::filesystem;

struct OpticalDrive {
    std::string name;
    std::string majorMinor;
};

std::vector<OpticalDrive> opticalDrives(const std::string& sysfsRoot)
{
    std::vector<OpticalDrive> drives;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(sysfsRoot) / "block", error)) {
        const std::string name = entry.path().filename();
        if (isOpticalDriveName(name)) {
            drives.push_back({ name, firstLine(entry.path() / "dev").value_or("") });
        }
    }
    std::ranges::sort(drives, {}, &OpticalDrive::name);
    return drives;
}

bool isRemovable(const std::string& sysfsRoot, const MountEntry& mount)
{
    const auto disk = wholeDiskNode(sysfsRoot, mount.majorMinor, mount.source);
    return disk && firstLine(*disk / "removable") == "1";
}

std::string deviceName(std::string_view spec, const std::string& devRoot)
{
    std::error_code error;
    const auto resolved = fs::canonical(fs::path(devRoot) / spec.substr(5), error);
    return error ? fs::path(spec).filename().string() : resolved.filename().string();
}

// The fstab mount point of the optical drive called name ("sr0"), matched by device path,
// symbolic links such as /dev/cdrom included.
std::optional<std::string> fstabMountPoint(std::string_view fstab, const std::string& name, const std::string& devRoot)
{
    std::optional<std::string> found;
    forEachLine(fstab, [&](std::string_view line) {
        const auto parts = tableFields(line);
        if (found || parts.size() < 2 || !parts[0].starts_with("/dev/"))
            return;
        if (deviceName(parts[0], devRoot) == name)
            found = unescapedTableField(parts[1]);
    });
    return found;
}

DriveKind kindOf(const MountEntry& mount, const std::string& sysfsRoot)
{
    if (isNetworkFileSystem(mount.fsType))
        return DriveKind::Remote;
    if (mount.fsType == "tmpfs" || mount.fsType == "ramfs")
        return DriveKind::RamDisk;
    if (mount.source.starts_with("/dev/"))
        return isRemovable(sysfsRoot, mount) ? DriveKind::Removable : DriveKind::Fixed;
    return DriveKind::Unknown;
}

} // namespace

std::vector<DriveEntry> classifyDrives(
    std::string_view mountInfo, std::string_view fstab, const std::string& sysfsRoot, const std::string& devRoot)
{
    const auto opticals = opticalDrives(sysfsRoot);
    std::set<std::string> mountedOpticals;
    std::vector<DriveEntry> drives;

    for (const auto& mount : visibleMounts(mountInfo)) {
        if (isPseudoFileSystem(mount))
            continue;
        const auto optical = std::ranges::find(opticals, mount.majorMinor, &OpticalDrive::majorMinor);
        if (optical != opticals.end()) {
            mountedOpticals.insert(optical->name);
            drives.push_back({ { mount.mountPoint, DriveKind::CdRom }, devRoot + "/" + optical->name, true });
        } else {
            drives.push_back({ { mount.mountPoint, kindOf(mount, sysfsRoot) }, {}, true });
        }
    }

    for (const auto& optical : opticals) {
        if (mountedOpticals.contains(optical.name))
            continue;
        const std::string device = devRoot + "/" + optical.name;
        drives.push_back(
            { { fstabMountPoint(fstab, optical.name, devRoot).value_or(device), DriveKind::CdRom }, device, false });
    }

    // Mounts come first, so a live mount wins over an fstab entry naming the same point.
    std::ranges::stable_sort(
        drives, {}, [](const DriveEntry& entry) -> const std::string& { return entry.drive.root; });
    const auto duplicates = std::ranges::unique(
        drives, [](const DriveEntry& a, const DriveEntry& b) { return a.drive.root == b.drive.root; });
    drives.erase(duplicates.begin(), duplicates.end());
    return drives;
}

} // namespace mellowby::platform
