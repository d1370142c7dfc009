#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::platform {

// The separator of the paths the program builds and shows.
inline constexpr char kPathSeparator = '/';

// dir and name joined by exactly one separator (none added when dir already ends in one).
std::string joinPath(std::string_view dir, std::string_view name);
// The same into joined, whose room is kept: for a caller that joins a path for every file.
void joinPathInto(std::string& joined, std::string_view dir, std::string_view name);

// path with every run of separators written as one, as the system reads it.
std::string collapseDoubledSeparators(std::string_view path);

// The part of path below folder, without a leading separator ("" for folder itself), or nothing
// when path does not lie at or under folder. Only whole names count: /media/cd is not under
// /media/c. Trailing separators of folder are ignored.
std::optional<std::string_view> pathBelow(std::string_view path, std::string_view folder);

// The pieces of a path, taken as text: nothing is looked up on disk, and "." and ".." are names
// like any other. The views point into path.

// The last component: what follows the last separator, or the whole of a path without one; ""
// for a path that ends in a separator, the root included.
std::string_view fileNameOf(std::string_view path);
// The folder that holds the last component: what precedes the last separator, the root when that
// is the leading one, and "." (the working folder) for a path without one.
std::string_view parentOf(std::string_view path);
// What precedes the last component, its closing separator included; "" for a path without one.
std::string_view folderPartOf(std::string_view path);
// The last component without its last extension: what precedes its last ".", so "" for a name
// such as ".profile", or the whole name when it has no ".".
std::string_view stemOf(std::string_view path);
// The names path is made of, in order; doubled, leading and closing separators add none.
std::vector<std::string_view> componentsOf(std::string_view path);
// path without the separators that close it, but for the root, which stays "/".
std::string_view withoutTrailingSeparators(std::string_view path);

} // namespace mellowby::platform
