#include "platform/userfolders.h"

#include <cstdlib>

namespace mellowby::platform {

namespace {

// A relative value of the variable is invalid and ignored, as the base directory rules require.
std::expected<std::string, Error> baseFolder(const char* variable, const char* belowHome)
{
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        return std::string(value);
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return std::unexpected(Error { 0, std::string("Neither ") + variable + " nor HOME is set" });
    return std::string(home) + "/" + belowHome;
}

} // namespace

std::expected<std::string, Error> userDataFolder()
{
    return baseFolder("XDG_DATA_HOME", ".local/share");
}

std::expected<std::string, Error> userCacheFolder()
{
    return baseFolder("XDG_CACHE_HOME", ".cache");
}

} // namespace mellowby::platform
