#pragma once

// Test data: the GB2312 and code page 936 bytes of the texts the tests write in UTF-8, as
// catalogs and settings made on Windows hold them. Converted by the C library's iconv, so that
// the expectations do not come from the program's own encoder, which is what is under test.

#include <stdexcept>
#include <string>
#include <string_view>

#include <iconv.h>

namespace mellowby::tests {

inline std::string convertTestText(std::string_view text, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no converter");
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1))
        throw std::runtime_error("cannot convert test text");
    out.resize(out.size() - outLeft);
    return out;
}

inline std::string toGb2312(std::string_view utf8)
{
    return convertTestText(utf8, "GB2312", "UTF-8");
}
inline std::string fromGb2312(std::string_view gb)
{
    return convertTestText(gb, "UTF-8", "GB2312");
}
// As Windows writes text in code page 936.
inline std::string toCp936(std::string_view utf8)
{
    return convertTestText(utf8, "CP936", "UTF-8");
}

} // namespace mellowby::tests
