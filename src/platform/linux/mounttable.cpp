#include "platform/linux/mounttable.h"

#include <algorithm>
#include <cerrno>

#include "platform/linux/filedescriptor.h"
#include "platform/paths.h"

namespace mellowby::platform {

namespace {

// The mount tables are small; anything near this size is not one.
constexpr std::size_t kMaxTableSize = 16 * 1024 * 1024;

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
    return pathBelow(path, folder).has_value();
}

} // namespace

std::expected<std::string, Error> readMountTable(const std::string& path)
{
    auto text = readWholeRegularFile(path, kMaxTableSize);
    if (!text)
        return std::unexpected(text.error());
    if (!*text)
        return std::unexpected(errorFromErrno(ENOENT));
    return std::move(**text);
}

std::vector<std::string_view> tableFields(std::string_view line)
{
    std::vector<std::string_view> result;
    for (std::size_t start = line.find_first_not_of(" \t"); start != std::string_view::npos;) {
        const auto end = line.find_first_of(" \t", start);
        result.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(" \t", end);
    }
    return result;
}

std::string unescapedTableField(std::string_view field)
{
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string result;
    result.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            result.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            result.push_back(field[i]);
        }
    }
    return result;
}

// Fields: id, parent, major:minor, root, mount point, options, optional fields, "-", type,
// source, super options.
std::vector<MountEntry> visibleMounts(std::string_view mountInfo)
{
    std::vector<MountEntry> mounts;
    forEachLine(mountInfo, [&](std::string_view line) {
        const auto parts = tableFields(line);
        if (parts.size() < 10)
            return;
        const auto separator = std::find(parts.begin() + 6, parts.end(), "-");
        if (std::distance(separator, parts.end()) < 3)
            return;
        MountEntry entry { std::string(parts[2]), unescapedTableField(parts[3]), unescapedTableField(parts[4]),
            std::string(separator[1]), unescapedTableField(separator[2]) };
        std::erase_if(mounts, [&](const MountEntry& mount) { return mount.mountPoint == entry.mountPoint; });
        mounts.push_back(std::move(entry));
    });
    return mounts;
}

bool isPseudoFileSystem(const MountEntry& mount)
{
    return contains(kPseudoFileSystems, mount.fsType)
        || (mount.fsType == "squashfs" && isAtOrUnder(mount.mountPoint, "/snap"))
        || ((mount.fsType == "tmpfs" || mount.fsType == "ramfs")
            && std::ranges::any_of(kSystemAreas, [&](auto area) { return isAtOrUnder(mount.mountPoint, area); }));
}

bool isNetworkFileSystem(std::string_view fsType)
{
    return contains(kNetworkFileSystems, fsType);
}

} // namespace mellowby::platform
