#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mellowby::platform {

// The separator of the paths the program builds and shows.
inline constexpr char kPathSeparator = '/';

// dir and name joined by exactly one separator (none added when dir already ends in one).
std::string joinPath(std::string_view dir, std::string_view name);

// path with every run of separators written as one, as the system reads it.
std::string collapseDoubledSeparators(std::string_view path);

// The part of path below folder, without a leading separator ("" for folder itself), or nothing
// when path does not lie at or under folder. Only whole names count: /media/cd is not under
// /media/c. Trailing separators of folder are ignored.
std::optional<std::string_view> pathBelow(std::string_view path, std::string_view folder);

} // namespace mellowby::platform
