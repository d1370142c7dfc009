#include "catalog/textutils.h"

#include <vector>

#include <fnmatch.h>

#include "catalog/uppercaser.h"
#include "platform/directorylister.h"
#include "platform/paths.h"

namespace mellowby::catalog {

std::uint64_t getFileSizeKB(std::uint64_t size)
{
    return size / 1024 + (size % 1024 != 0 ? 1 : 0);
}

std::string getFileExt(std::string_view name)
{
    UpperCaser upper;
    return std::string(getFileExt(name, upper));
}

std::string_view getFileExt(std::string_view name, UpperCaser& upper)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    // Upper-cased as the search upper-cases names, every letter with a case: the filter lists
    // are searched byte for byte, so a list holding JPÉ drops a.jpé.
    return upper.upper(name.substr(dot + 1));
}

std::string getShortName(std::string_view path)
{
    return std::string(platform::stemOf(path));
}

namespace {

// Only "*" and "?" are wildcards in the paths callers pass; every other character, "[" included,
// stands for itself, so a catalog named "a[1]" is still found.
std::string toFnmatchPattern(std::string_view wildcardPattern)
{
    std::string pattern;
    pattern.reserve(wildcardPattern.size());
    for (const char c : wildcardPattern) {
        if (c == '[' || c == ']' || c == '\\')
            pattern.push_back('\\');
        pattern.push_back(c);
    }
    return pattern;
}

bool entryMatchesMask(const platform::DirEntry& entry, std::uint16_t mask)
{
    return !entry.isDirectory || (mask & kMaskDirectories) != 0;
}

} // namespace

bool ifFileExists(platform::IDirectoryLister& lister, std::string_view path, std::uint16_t mask)
{
    if (path.empty())
        return false;
    std::vector<platform::DirEntry> entries;
    if (path.back() == platform::kPathSeparator)
        return (mask & kMaskDirectories) != 0 && lister.list(std::string(path), entries).has_value();

    const std::string dir(platform::parentOf(path));
    const std::string pattern = toFnmatchPattern(platform::fileNameOf(path));
    if (!lister.list(dir, entries))
        return false;
    for (const auto& entry : entries) {
        if (fnmatch(pattern.c_str(), entry.name.c_str(), 0) == 0 && entryMatchesMask(entry, mask))
            return true;
    }
    return false;
}

} // namespace mellowby::catalog
