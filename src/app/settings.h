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
    // Whether the generation dialog's scan digests every file's contents (xxh128) into the
    // catalog's database. Kept under a key of its own, which a Windows copy passes over.
    bool checksums = false;
    // Whether it lists the members of the archives it finds into the database, likewise.
    bool archives = false;

    bool operator==(const Settings&) const = default;
};

// What the program works with when the settings file cannot be read.
inline constexpr const char* kDefaultFileTypes = "GIF|JPG|PCX|TIF|ICO";
Settings defaultSettings();

// Loads the settings from option.ini. False, after its own error box, when the file
// exists but cannot be read.
bool getIniSetting(const ProgramFolder& folder, Settings& settings, platform::IMessageBox& box);

// The settings as start-up establishes them: those of option.ini, or, when it cannot be read,
// the default lists after getIniSetting's box and the "Main" box.
Settings loadStartupSettings(const ProgramFolder& folder, platform::IMessageBox& box);

// Writes the four settings to option.ini in the order the generation dialog saves them, each
// even when an earlier one failed. inMemory takes each value the file took; a value the file
// refused (an empty text is never stored) stays as the file keeps it. A list holding a character
// the file's code page lacks is not stored, and the box says so and which character it is.
void saveSettings(const ProgramFolder& folder, const Settings& wanted, Settings& inMemory, platform::IMessageBox& box);

// What a generation adds to the catalog's database beside the pair, each a check box of the
// dialog and a key of option.ini of its own.
enum class ScanExtra { Checksums, Archives };

// Writes one of them to option.ini as soon as the dialog's check box changes, and into inMemory
// when the file took it.
void saveScanExtra(const ProgramFolder& folder, ScanExtra extra, bool wanted, Settings& inMemory);

} // namespace mellowby::app
