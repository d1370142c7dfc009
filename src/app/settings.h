#pragma once

#include <string>

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::app {

class ProgramFolder;

// The file-type filter applied when a catalog is generated.
struct Settings {
    std::string NoFileStr;
    std::string YesFileStr;
    bool ifYesFile = false;
    bool ifUseOption = false;

    bool operator==(const Settings&) const = default;
};

inline constexpr const char* kDefaultFileTypes = "GIF|JPG|PCX|TIF|ICO";

// Loads the four settings from option.ini. False, after its own error box, when the file
// exists but cannot be read.
bool getIniSetting(const ProgramFolder& folder, Settings& settings, platform::IMessageBox& box);

} // namespace mellowby::app
