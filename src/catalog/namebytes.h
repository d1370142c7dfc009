#pragma once

#include <cstdint>
#include <string_view>

namespace mellowby::catalog {

// The passes a search makes over the names of an index, one block of NUL-ended names after
// another: upper-casing, looking for the needle, counting names. They run over tens of megabytes
// for every search, so they take sixteen bytes at a time where the processor allows.

// c with a-z upper-cased, every other byte as it is: the upper-casing of ASCII text, which the
// index's names and UpperCaser's short way must both follow.
constexpr char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Copies [begin, end) to into with the ASCII letters upper-cased.
void copyUpperAscii(const char* begin, const char* end, char* into);

// The number of NUL bytes in [begin, end).
std::uint64_t countNuls(const char* begin, const char* end);

// Where needle first begins in [begin, end); nullptr when nowhere. An empty needle is found at
// begin: the empty search lists every name.
const char* findBytes(const char* begin, const char* end, std::string_view needle);

} // namespace mellowby::catalog
