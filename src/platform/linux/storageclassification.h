#pragma once

#include <string>
#include <string_view>

#include "platform/filereading.h"

namespace mellowby::platform {

// The kind of the device that holds the file system with device number majorMinor ("8:17"), as
// sysfs under sysfsRoot tells it; mountInfo (the text of /proc/self/mountinfo) names the device
// of file systems whose number names none (btrfs). Unknown where no block device is found: a
// network share, a file system in memory, an overlay.
StorageKind classifyStorage(const std::string& majorMinor, std::string_view mountInfo, const std::string& sysfsRoot);

} // namespace mellowby::platform
