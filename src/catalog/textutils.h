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
inline constexpr std::uint32_t kAttributeDirectory = 0x10;

// The text before its first NUL character.
std::string trimNull(std::string_view text);

// Bytes to kilobytes, rounded up.
std::uint64_t getFileSizeKB(std::uint32_t sizeHigh, std::uint32_t sizeLow);
std::uint64_t getFileSizeKB(std::uint64_t size);

bool ifDirectory(std::uint32_t attributes);

// The upper-cased text after the last "."; empty when there is none or it starts the name.
std::string getFileExt(std::string_view name);
// The same with a caser the caller keeps, for one name after another; the text lives in upper
// until its next use.
std::string_view getFileExt(std::string_view name, UpperCaser& upper);

// The file name without folder and without its last extension.
std::string getShortName(std::string_view path);

// The five XML special characters escaped, "&" first so each is escaped exactly once.
std::string encodeXml(std::string_view text);

// Whether an entry matching path exists. The last path component may hold the wildcards "*" and
// "?". Mask 0 matches ordinary files only (not hidden, not directories); mask 16 also matches
// directories. A path ending in the separator names a directory. Never fails: any failure of
// the listing counts as "not found".
bool ifFileExists(platform::IDirectoryLister& lister, std::string_view path, std::uint16_t mask);

} // namespace mellowby::catalog
