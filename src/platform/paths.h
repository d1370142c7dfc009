#pragma once

#include <string>
#include <string_view>

namespace mellowby::platform {

// The separator of the paths the program builds and shows.
inline constexpr char kPathSeparator = '/';

// dir and name joined by exactly one separator (none added when dir already ends in one).
std::string joinPath(std::string_view dir, std::string_view name);

// path with every run of separators written as one, as the system reads it.
std::string collapseDoubledSeparators(std::string_view path);

} // namespace mellowby::platform
