#include "catalog/uppercaser.h"

#include <limits>
#include <memory>
#include <stdexcept>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "catalog/namebytes.h"

namespace mellowby::catalog {

bool UpperCaser::Caseless::has(char32_t c)
{
    const std::size_t page = c >> 8U;
    if (!known.test(page)) {
        // ICU is asked about a page of characters at a time, as its first is met: a name uses few.
        for (auto each = static_cast<char32_t>(page << 8U); each < ((page + 1) << 8U); ++each)
            changes.set(each, u_hasBinaryProperty(static_cast<UChar32>(each), UCHAR_CHANGES_WHEN_UPPERCASED) != 0);
        known.set(page);
    }
    return !changes.test(c);
}

bool UpperCaser::upperCaseless(std::string_view utf8, std::size_t from)
{
    if (!m_caseless)
        m_caseless = std::make_unique<Caseless>();
    const char* const bytes = utf8.data();
    const auto length = static_cast<int32_t>(utf8.size());
    auto at = static_cast<int32_t>(from);
    while (at < length) {
        const int32_t start = at;
        UChar32 c = 0;
        // ICU's decoder, whose casts the compiler would otherwise warn about.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wold-style-cast"
        U8_NEXT(bytes, at, length, c);
#pragma GCC diagnostic pop
        if (c < 0x80) {
            if (c < 0)
                return false;
            m_buffer[static_cast<std::size_t>(start)] = upperAscii(static_cast<char>(c));
            continue;
        }
        if (c >= 0x10000 || !m_caseless->has(static_cast<char32_t>(c)))
            return false;
        utf8.copy(m_buffer.data() + start, static_cast<std::size_t>(at - start), static_cast<std::size_t>(start));
    }
    return true;
}

UpperCaser::~UpperCaser()
{
    if (m_map != nullptr)
        ucasemap_close(m_map);
}

std::string_view UpperCaser::upper(std::string_view utf8)
{
    m_buffer.resize(utf8.size());
    std::size_t firstOther = utf8.size();
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            firstOther = i;
            break;
        }
        m_buffer[i] = upperAscii(c);
    }
    const bool ascii = firstOther == utf8.size();
    if (ascii || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 3))
        return ascii ? std::string_view(m_buffer) : utf8;
    if (upperCaseless(utf8, firstOther))
        return m_buffer;

    if (m_map == nullptr) {
        UErrorCode status = U_ZERO_ERROR;
        // The root locale: names are upper-cased the same way whatever the user's language.
        m_map = ucasemap_open("", 0, &status);
        if (U_FAILURE(status) || m_map == nullptr)
            throw std::runtime_error(std::string("ICU case mapping unavailable: ") + u_errorName(status));
    }
    const auto sourceLength = static_cast<int32_t>(utf8.size());
    // Most upper-cased texts are as long as the original; a few letters grow (ß, ŉ, ΐ...).
    m_buffer.resize(utf8.size() + utf8.size() / 2 + 8);
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = ucasemap_utf8ToUpper(
            m_map, m_buffer.data(), static_cast<int32_t>(m_buffer.size()), utf8.data(), sourceLength, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR && static_cast<std::size_t>(length) > m_buffer.size()) {
            m_buffer.resize(static_cast<std::size_t>(length));
            continue;
        }
        if (U_FAILURE(status))
            return utf8;
        m_buffer.resize(static_cast<std::size_t>(length));
        return m_buffer;
    }
}

} // namespace mellowby::catalog
