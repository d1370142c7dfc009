#include "app/casefold.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

namespace mellowby::app {

namespace {

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsAsciiFold(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// Strict decoding: ICU's lenient conversion would turn ill-formed sequences into U+FFFD,
// which would make different broken names compare equal.
std::optional<icu::UnicodeString> decodeUtf8(std::string_view s)
{
    if (s.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    const auto size = static_cast<int32_t>(s.size());
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, s.data(), size, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    icu::UnicodeString decoded;
    UChar* buffer = decoded.getBuffer(length);
    if (buffer == nullptr)
        return std::nullopt;
    status = U_ZERO_ERROR;
    u_strFromUTF8(buffer, length, nullptr, s.data(), size, &status);
    decoded.releaseBuffer(U_SUCCESS(status) ? length : 0);
    if (U_FAILURE(status))
        return std::nullopt;
    return decoded;
}

} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    // Pure ASCII on both sides cannot meet a fold such as the Kelvin sign or the long s, so
    // the cheap comparison is exact there.
    if (isAscii(a) && isAscii(b))
        return equalsAsciiFold(a, b);
    const auto ua = decodeUtf8(a);
    const auto ub = decodeUtf8(b);
    if (!ua || !ub)
        return equalsAsciiFold(a, b);
    return ua->caseCompare(*ub, U_FOLD_CASE_DEFAULT) == 0;
}

std::string foldCase(std::string_view name)
{
    std::string key(name);
    if (isAscii(name)) {
        std::ranges::transform(key, key.begin(), asciiLower);
        return key;
    }
    auto decoded = decodeUtf8(name);
    if (!decoded) {
        std::ranges::transform(key, key.begin(), asciiLower);
        return key;
    }
    key.clear();
    decoded->foldCase(U_FOLD_CASE_DEFAULT).toUTF8String(key);
    return key;
}

} // namespace mellowby::app
