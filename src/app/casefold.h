#pragma once

#include <string>
#include <string_view>

namespace mellowby::app {

// Whether two UTF-8 names are the same when letter case is ignored (Unicode case folding).
// Names that are not valid UTF-8 fall back to ASCII-only folding, so stray bytes still only
// match themselves.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// A key for maps of names compared that way: foldCase(a) == foldCase(b) exactly when
// equalsIgnoringCase(a, b).
std::string foldCase(std::string_view name);

} // namespace mellowby::app
