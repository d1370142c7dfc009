#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mellowby::platform {
class IDirectoryLister;
}

namespace mellowby::catalog {

class UpperCaser;

// Attribute masks of ifFileExists: ordinary files only, or ordinary files and directories.
inline constexpr std::uint16_t kMaskFiles = 0;
inline constexpr std::uint16_t kMaskDirectories = 16;

// Bytes to kilobytes, rounded up.
std::uint64_t getFileSizeKB(std::uint64_t size);

// The upper-cased text after the last "."; empty when there is none or it starts the name.
std::string getFileExt(std::string_view name);
// The same with a caser the caller keeps, for one name after another; the text lives in upper
// until its next use.
std::string_view getFileExt(std::string_view name, UpperCaser& upper);

// The file name without folder and without its last extension.
std::string getShortName(std::string_view path);

// Whether an entry matching path exists. The last path component may hold the wildcards "*" and
// "?". Mask 0 matches every entry but directories; mask 16 also matches directories. No name is
// hidden: a name that starts with "." is an ordinary file, as on the systems catalogs come from. A path ending in the
// separator names a directory. Never fails: any failure of the listing counts as "not found".
bool ifFileExists(platform::IDirectoryLister& lister, std::string_view path, std::uint16_t mask);

} // namespace mellowby::catalog
