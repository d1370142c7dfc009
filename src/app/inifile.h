#pragma once

#include <string>

namespace mellowby::app {

// One value of an INI file each. Section and key names match without regard to case; anything
// missing reads as empty text. None of them shows a message.
std::string getIniString(const std::string& file, const std::string& section, const std::string& key);
bool getIniBool(const std::string& file, const std::string& section, const std::string& key);
bool setIniString(
    const std::string& file, const std::string& section, const std::string& key, const std::string& value);
bool setIniBool(const std::string& file, const std::string& section, const std::string& key, bool value);

} // namespace mellowby::app
