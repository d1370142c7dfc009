#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/drives.h"

namespace mellowby::platform {

// A drive with what the media check needs to know about it.
struct DriveEntry {
    Drive drive;
    // The device node of an optical drive ("/dev/sr0"); empty for other kinds.
    std::string device;
    // Whether the root is a live mount point rather than an fstab entry or a device path.
    bool mounted = false;

    bool operator==(const DriveEntry&) const = default;
};

// The drives a user can scan, sorted by root: the visible mount points of mountInfo (the text of
// /proc/self/mountinfo) without the kernel's pseudo file systems, plus every optical drive found
// under sysfsRoot, listed even when empty at its fstab mount point or else at its device path
// below devRoot. Only the sysfs tree is read; the kinds come from sysfs and the mount table.
std::vector<DriveEntry> classifyDrives(
    std::string_view mountInfo, std::string_view fstab, const std::string& sysfsRoot, const std::string& devRoot);

} // namespace mellowby::platform
