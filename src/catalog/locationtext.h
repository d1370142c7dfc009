#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mellowby::catalog {

// How the location of a catalogued file is spelt: the Disk Label, the titles of the directories
// on the way down and the file's name, joined by the separator of the system the catalog was
// written on, with every run of separators written as one.

// The location budget: the texts the locations of a catalog's folders begin with grow with the
// square of its depth, and no reader keeps more than this many bytes of them for one catalog, so
// that a catalog nested deeper than any file system could be cannot exhaust memory.
inline constexpr std::size_t kMaxLocationBytes = 256 * 1024 * 1024;

// "\\" for a catalog written on Windows (its Disk Label holds backslashes and no slash), "/" for
// every other.
char locationSeparatorFor(std::string_view diskLabel);

// Every run of separators shortened to one, from position from on (a run that begins before it
// still loses what lies after it).
void collapseSeparators(std::string& text, char separator, std::size_t from = 0);

// What the locations of a folder's files begin with, given those of its parent's files (empty for
// the Disk element itself, whose own part is its Label) and the folder's own part.
void appendLocationLevel(std::string& prefix, std::string_view ownPart, char separator);

} // namespace mellowby::catalog
