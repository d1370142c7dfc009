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

std::optional<std::string_view> pathBelow(std::string_view path, std::string_view folder)
{
    while (folder.size() > 1 && folder.back() == kPathSeparator)
        folder.remove_suffix(1);
    if (folder.empty() || !path.starts_with(folder))
        return std::nullopt;
    std::string_view rest = path.substr(folder.size());
    if (!rest.empty() && rest.front() != kPathSeparator && folder.back() != kPathSeparator)
        return std::nullopt;
    while (!rest.empty() && rest.front() == kPathSeparator)
        rest.remove_prefix(1);
    return rest;
}

} // namespace mellowby::platform
