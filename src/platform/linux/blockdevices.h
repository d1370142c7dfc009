#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mellowby::platform {

// The first line of a file, without its newline: sysfs says one thing a file.
std::optional<std::string> firstLine(const std::filesystem::path& file);

// Whether name is the kernel's name of an optical drive ("sr0").
bool isOpticalDriveName(std::string_view name);

// The sysfs folder under sysfsRoot of the whole disk that holds the file system with device number
// majorMinor ("8:17"): what a disk is (removable, rotational) belongs to the disk, so a partition
// gives its parent. File systems whose number names no block device (btrfs) are found by the name
// of their mount's source ("/dev/sdb1"). Nothing when neither names a block device.
std::optional<std::filesystem::path> wholeDiskNode(
    const std::string& sysfsRoot, const std::string& majorMinor, const std::string& source);

} // namespace mellowby::platform
