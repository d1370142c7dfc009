#pragma once

#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {

// The folder that holds the running executable, without a trailing separator.
std::expected<std::string, Error> runningExecutableFolder();

} // namespace mellowby::platform
