#pragma once

#include <string_view>

namespace mellowby::app {

// Whether two UTF-8 names are the same when letter case is ignored (Unicode case folding).
// Names that are not valid UTF-8 fall back to ASCII-only folding, so stray bytes still only
// match themselves.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace mellowby::app
