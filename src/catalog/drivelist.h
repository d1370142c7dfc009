#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace mellowby::platform {
class IMessageBox;
} // namespace mellowby::platform

namespace mellowby::catalog {

// The drives offered for scanning, as start-up found them, in drive order. They stay structured
// (root and kind) wherever the program works with them; only a window that shows one turns it
// into its label.
struct DriveList {
    std::vector<platform::Drive> drives;

    // The optical drive that path lies on (on a separator boundary), or nothing.
    const platform::Drive* opticalDriveOf(const std::string& path) const;
};

// A drive as the user sees it: its root followed by its kind text, such as "/media/cdrom(光驱)".
std::string driveLabel(const platform::Drive& drive);
// The kind text of an optical drive, by which a typed text names one.
inline constexpr const char* kOpticalDriveText = "光驱";

// Fills the list from the platform's drives and returns the number of drives.
std::size_t getDriveList(platform::IDrives& drives, DriveList& list);

// Whether the drive at path holds a readable medium; false for an empty path or no drive.
bool ifMediaValided(platform::IDrives& drives, platform::IMessageBox& box, const std::string& path);

} // namespace mellowby::catalog
