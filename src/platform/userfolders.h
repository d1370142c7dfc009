#pragma once

#include <expected>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {

// The folder for the user's data (the trash lies there): $XDG_DATA_HOME when it is an absolute
// path, else $HOME/.local/share. An error when neither is set.
std::expected<std::string, Error> userDataFolder();

// The folder for the user's caches: $XDG_CACHE_HOME when it is an absolute path, else
// $HOME/.cache, as the base directory rules have it. An error when neither is set.
std::expected<std::string, Error> userCacheFolder();

} // namespace mellowby::platform
