#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {

// One line of /proc/self/mountinfo, with the kernel's escapes undone.
struct MountEntry {
    std::string majorMinor; // the device number of the file system: "8:17"
    std::string root; // the folder of the file system mounted here: "/" unless a bind mount or subvolume
    std::string mountPoint;
    std::string fsType;
    std::string source; // "/dev/sdb1", "server:/export", "tmpfs"

    bool operator==(const MountEntry&) const = default;
};

// The text of a mount table (/proc/self/mountinfo, /etc/fstab); an error when there is none.
std::expected<std::string, Error> readMountTable(const std::string& path);

// The mounts that can be seen, in the table's order: a later mount at the same point hides the
// earlier one. Lines that are not mount entries are skipped.
std::vector<MountEntry> visibleMounts(std::string_view mountInfo);

// The kernel's own file systems (proc, sysfs, cgroups...) and the memory file systems of the
// system's areas (/dev, /run): nothing a user keeps files on.
bool isPseudoFileSystem(const MountEntry& mount);

// File systems reached over the network, which can hang a caller for as long as the server is away.
bool isNetworkFileSystem(std::string_view fsType);

// The blank-separated fields of a line of a mount table (mountinfo, fstab).
std::vector<std::string_view> tableFields(std::string_view line);

// A field with the kernel's \ooo octal escapes (space, tab, newline, backslash) undone.
std::string unescapedTableField(std::string_view field);

// Calls handle with each line of text, without its newline.
template <typename Handle> void forEachLine(std::string_view text, Handle handle)
{
    while (!text.empty()) {
        const auto end = text.find('\n');
        handle(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
}

} // namespace mellowby::platform
