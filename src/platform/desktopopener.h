#pragma once

#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {

// Opens a file or an address with the program the desktop associates with it, without waiting
// for that program.
class IDesktopOpener {
public:
    virtual ~IDesktopOpener() = default;
    virtual std::expected<void, Error> open(const std::string& target, const std::string& workingDirectory) = 0;
};

} // namespace mellowby::platform
