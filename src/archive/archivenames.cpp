#include "archive/archivenames.h"

#include <algorithm>
#include <array>
#include <string>

namespace mellowby::archive {

namespace {

// The endings of the kinds the lister reads, compressed tars by either spelling, disc images, and
// the archive formats that are zips or 7z or RAR under another name (Java archives, comic book
// archives).
constexpr std::array<std::string_view, 32> kEndings = { "7z", "bz2", "cab", "cb7", "cbr", "cbt", "cbz", "cpio", "gz",
    "iso", "jar", "lz", "lz4", "lzma", "rar", "tar", "taz", "tb2", "tbz", "tbz2", "tgz", "tlz", "txz", "tz", "tzst",
    "xz", "z", "zip", "zipx", "zst", "war", "ear" };

// The letters after the last dot, in lower case; nothing when they are too many to be an ending.
std::string endingOf(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || fileName.size() - dot - 1 > 5)
        return {};
    std::string ending(fileName.substr(dot + 1));
    std::ranges::transform(
        ending, ending.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return ending;
}

} // namespace

bool namedLikeArchive(std::string_view fileName)
{
    const std::string ending = endingOf(fileName);
    return !ending.empty() && std::ranges::find(kEndings, ending) != kEndings.end();
}

bool namedLikeDiscImage(std::string_view fileName)
{
    return endingOf(fileName) == "iso";
}

} // namespace mellowby::archive
