#include "app/inifile.h"

#include "app/inidocument.h"
#include "platform/filesystem.h"

namespace mellowby::app {

namespace {

// The value as stored, or empty text for a missing or unreadable file. These routines
// never report: a failure simply reads as "not set".
std::string readValue(
    platform::IFileSystem& fileSystem, const std::string& file, const std::string& section, const std::string& key)
{
    try {
        auto contents = fileSystem.readWholeFile(file, kMaxIniFileSize);
        if (!contents || !*contents)
            return {};
        return IniDocument(std::move(**contents)).value(section, key);
    } catch (...) {
        return {};
    }
}

} // namespace

std::string getIniString(
    platform::IFileSystem& fileSystem, const std::string& file, const std::string& section, const std::string& key)
{
    if (trimBlanks(key).empty())
        return {};
    return readValue(fileSystem, file, section, key);
}

bool getIniBool(
    platform::IFileSystem& fileSystem, const std::string& file, const std::string& section, const std::string& key)
{
    return readValue(fileSystem, file, section, key) == "1";
}

bool setIniString(platform::IFileSystem& fileSystem, const std::string& file, const std::string& section,
    const std::string& key, const std::string& value)
{
    // A blank entry box must not wipe what the user saved earlier.
    if (trimBlanks(value).empty() || trimBlanks(key).empty() || trimBlanks(section).empty())
        return false;
    try {
        auto contents = fileSystem.readWholeFile(file, kMaxIniFileSize);
        // A file that exists but cannot be read is left alone: rewriting it from nothing would
        // throw away every other line in it.
        if (!contents)
            return false;
        IniDocument document(contents->value_or(std::string()));
        if (!document.setValue(section, key, value))
            return false;
        if (*contents && **contents == document.text())
            return true;
        return platform::replaceWholeFile(fileSystem, file, document.text()).has_value();
    } catch (...) {
        return false;
    }
}

bool setIniBool(platform::IFileSystem& fileSystem, const std::string& file, const std::string& section,
    const std::string& key, bool value)
{
    return setIniString(fileSystem, file, section, key, value ? "1" : "0");
}

} // namespace mellowby::app
