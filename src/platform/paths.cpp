#include "platform/paths.h"

namespace mellowby::platform {

std::string joinPath(std::string_view dir, std::string_view name)
{
    std::string joined;
    joined.reserve(dir.size() + 1 + name.size());
    joinPathInto(joined, dir, name);
    return joined;
}

void joinPathInto(std::string& joined, std::string_view dir, std::string_view name)
{
    joined.assign(dir);
    if (joined.empty() || joined.back() != kPathSeparator)
        joined.push_back(kPathSeparator);
    joined.append(name);
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
    folder = withoutTrailingSeparators(folder);
    if (folder.empty() || !path.starts_with(folder))
        return std::nullopt;
    std::string_view rest = path.substr(folder.size());
    if (!rest.empty() && rest.front() != kPathSeparator && folder.back() != kPathSeparator)
        return std::nullopt;
    while (!rest.empty() && rest.front() == kPathSeparator)
        rest.remove_prefix(1);
    return rest;
}

std::string_view fileNameOf(std::string_view path)
{
    const auto slash = path.rfind(kPathSeparator);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view parentOf(std::string_view path)
{
    static constexpr char kRoot[] = { kPathSeparator, '\0' };
    const auto slash = path.rfind(kPathSeparator);
    if (slash == std::string_view::npos)
        return ".";
    return slash == 0 ? std::string_view(kRoot) : path.substr(0, slash);
}

std::string_view folderPartOf(std::string_view path)
{
    return path.substr(0, path.size() - fileNameOf(path).size());
}

std::string_view stemOf(std::string_view path)
{
    const std::string_view name = fileNameOf(path);
    return name.substr(0, name.rfind('.'));
}

std::vector<std::string_view> componentsOf(std::string_view path)
{
    std::vector<std::string_view> components;
    while (!path.empty()) {
        const auto slash = path.find(kPathSeparator);
        if (slash != 0)
            components.push_back(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return components;
}

std::string_view withoutTrailingSeparators(std::string_view path)
{
    while (path.size() > 1 && path.back() == kPathSeparator)
        path.remove_suffix(1);
    return path;
}

} // namespace mellowby::platform
