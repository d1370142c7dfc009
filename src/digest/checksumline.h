#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "digest/digestalgorithm.h"

namespace mellowby::digest {

// The line of a checksum file that the algorithm's tool checks with -c (sha256sum -c, xxhsum -c)
// for the file at path, relative to where the check runs: "<hex>  <path>\n", as the tool itself
// prints it. sha256sum writes a name with a backslash, a line feed or a carriage return escaped
// ("\\", "\n", "\r") behind a backslash that opens the line, and reads it back so; xxhsum takes
// a backslash as it is but has no way to read a line break in a name: nothing for such a name.
std::optional<std::string> checksumLine(const Digest& digest, std::string_view path);

} // namespace mellowby::digest
