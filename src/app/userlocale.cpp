#include "app/userlocale.h"

#include <cstdlib>

namespace mellowby::app {

std::string userLocaleName(const char* categoryVariable)
{
    std::string name;
    for (const char* variable : { "LC_ALL", categoryVariable, "LANG" }) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            name = value;
            break;
        }
    }
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return "en_US";
    return name;
}

} // namespace mellowby::app
