#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::platform {
class IDrives;
class IMessageBox;
} // namespace mellowby::platform

namespace mellowby::catalog {

// The drives offered for scanning: labels such as "/media/cdrom(光驱)" (root followed by the kind
// text), and the roots of the optical drives joined by ";".
struct DriveList {
    std::vector<std::string> labels;
    std::string cdDrives;
};

// Fills the list from the platform's drives and returns the number of drives.
std::size_t getDriveList(platform::IDrives& drives, DriveList& list);

// The text with every NUL replaced by ";"; count receives the number of NULs.
std::string nullListToStr(std::string_view text, std::size_t& count);

// The n-th (1-based) field of text, each field ended by separator (letters of the separator match
// regardless of case); empty when there is no such field.
std::string getStrByIndex(std::string_view text, std::ptrdiff_t n, std::string_view separator);

// Whether the drive at path holds a readable medium; false for an empty path or no drive.
bool ifMediaValided(platform::IDrives& drives, platform::IMessageBox& box, const std::string& path);

} // namespace mellowby::catalog
