#pragma once

#include <cstddef>
#include <string>

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::app {

// A settings file is edited by hand now and then; anything bigger than this is not one, and
// reading it whole would only exhaust memory.
inline constexpr std::size_t kMaxIniFileSize = 64 * 1024 * 1024;

// One value of an INI file each. Section and key names match without regard to case; anything
// missing or unreadable reads as empty text. Writes replace the file in one step, so a failure
// leaves it as it was. None of them shows a message.
std::string getIniString(
    platform::IFileSystem& fileSystem, const std::string& file, const std::string& section, const std::string& key);
bool getIniBool(
    platform::IFileSystem& fileSystem, const std::string& file, const std::string& section, const std::string& key);
bool setIniString(platform::IFileSystem& fileSystem, const std::string& file, const std::string& section,
    const std::string& key, const std::string& value);
bool setIniBool(platform::IFileSystem& fileSystem, const std::string& file, const std::string& section,
    const std::string& key, bool value);

} // namespace mellowby::app
