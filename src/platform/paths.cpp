#include "platform/paths.h"

namespace mellowby::platform {

std::string joinPath(std::string_view dir, std::string_view name)
{
    std::string joined;
    joined.reserve(dir.size() + 1 + name.size());
    joined.append(dir);
    if (joined.empty() || joined.back() != kPathSeparator)
        joined.push_back(kPathSeparator);
    joined.append(name);
    return joined;
}

std::string collapseDoubledSeparators(std::string_view path)
{
    std::string collapsed;
    collapsed.reserve(path.size());
    for (const char c : path) {
        if (c == kPathSeparator && !collapsed.empty() && collapsed.back() == kPathSeparator)
            continue;
        collapsed += c;
    }
    return collapsed;
}

} // namespace mellowby::platform
