#include "platform/linux/driveclassification.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "platform/linux/mounttable.h"

namespace mellowby::platform {

namespace {

namespace fs = std::filesystem;

struct OpticalDrive {
    std::string name;
    std::string majorMinor;
};

std::optional<std::string> firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    return line;
}

std::vector<OpticalDrive> opticalDrives(const std::string& sysfsRoot)
{
    std::vector<OpticalDrive> drives;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(sysfsRoot) / "block", error)) {
        const std::string name = entry.path().filename();
        if (name.size() > 2 && name.starts_with("sr")
            && std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            drives.push_back({ name, firstLine(entry.path() / "dev").value_or("") });
        }
    }
    std::ranges::sort(drives, {}, &OpticalDrive::name);
    return drives;
}

// Removability belongs to the whole disk, so a partition asks its parent. Mounts whose
// device number names no block device (btrfs) are found by their source's name instead.
bool isRemovable(const std::string& sysfsRoot, const MountEntry& mount)
{
    std::error_code error;
    auto node = fs::canonical(fs::path(sysfsRoot) / "dev/block" / mount.majorMinor, error);
    if (error)
        node = fs::canonical(fs::path(sysfsRoot) / "class/block" / fs::path(mount.source).filename(), error);
    if (error)
        return false;
    if (fs::exists(node / "partition", error))
        node = node.parent_path();
    return firstLine(node / "removable") == "1";
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
