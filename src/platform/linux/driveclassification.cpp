#include "platform/linux/driveclassification.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

namespace mellowby::platform {

namespace {

namespace fs = std::filesystem;

struct MountEntry {
    std::string majorMinor;
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

struct OpticalDrive {
    std::string name;
    std::string majorMinor;
};

constexpr std::string_view kPseudoFileSystems[]
    = { "proc", "sysfs", "cgroup", "cgroup2", "devpts", "devtmpfs", "securityfs", "debugfs", "tracefs", "pstore", "bpf",
          "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc", "autofs", "efivarfs", "selinuxfs", "rpc_pipefs",
          "nsfs", "nfsd", "xenfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "fuse.snapfuse" };
constexpr std::string_view kNetworkFileSystems[] = { "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs" };
constexpr std::string_view kSystemAreas[] = { "/dev", "/run", "/sys", "/proc" };

bool contains(const auto& list, std::string_view value)
{
    return std::ranges::find(list, value) != std::ranges::end(list);
}

bool isAtOrUnder(std::string_view path, std::string_view folder)
{
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

// The kernel writes space, tab, newline and backslash in mount points as \ooo octal escapes.
std::string unescaped(std::string_view text)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) && isOctal(text[i + 2])
            && isOctal(text[i + 3])) {
            result.push_back(
                static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0')));
            i += 3;
        } else {
            result.push_back(text[i]);
        }
    }
    return result;
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> result;
    for (std::size_t start = line.find_first_not_of(" \t"); start != std::string_view::npos;) {
        const auto end = line.find_first_of(" \t", start);
        result.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(" \t", end);
    }
    return result;
}

template <typename Handle> void forEachLine(std::string_view text, Handle handle)
{
    while (!text.empty()) {
        const auto end = text.find('\n');
        handle(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
}

// Fields: id, parent, major:minor, root, mount point, options, optional fields, "-", type,
// source, super options. A later mount at the same point hides the earlier one.
std::vector<MountEntry> visibleMounts(std::string_view mountInfo)
{
    std::vector<MountEntry> mounts;
    forEachLine(mountInfo, [&](std::string_view line) {
        const auto parts = fields(line);
        if (parts.size() < 10)
            return;
        const auto separator = std::find(parts.begin() + 6, parts.end(), "-");
        if (std::distance(separator, parts.end()) < 3)
            return;
        const std::string mountPoint = unescaped(parts[4]);
        std::erase_if(mounts, [&](const MountEntry& mount) { return mount.mountPoint == mountPoint; });
        mounts.push_back({ std::string(parts[2]), mountPoint, std::string(separator[1]), unescaped(separator[2]) });
    });
    return mounts;
}

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
        const auto parts = fields(line);
        if (found || parts.size() < 2 || !parts[0].starts_with("/dev/"))
            return;
        if (deviceName(parts[0], devRoot) == name)
            found = unescaped(parts[1]);
    });
    return found;
}

bool isPseudo(const MountEntry& mount)
{
    return contains(kPseudoFileSystems, mount.fsType)
        || (mount.fsType == "squashfs" && isAtOrUnder(mount.mountPoint, "/snap"))
        || ((mount.fsType == "tmpfs" || mount.fsType == "ramfs")
            && std::ranges::any_of(kSystemAreas, [&](auto area) { return isAtOrUnder(mount.mountPoint, area); }));
}

DriveKind kindOf(const MountEntry& mount, const std::string& sysfsRoot)
{
    if (contains(kNetworkFileSystems, mount.fsType))
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
        if (isPseudo(mount))
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
