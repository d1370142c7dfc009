#include "catalog/uppercaser.h"

#include <limits>
#include <stdexcept>

#include "catalog/namebytes.h"

namespace mellowby::catalog {

UpperCaser::~UpperCaser()
{
    if (m_map != nullptr)
        ucasemap_close(m_map);
}

std::string_view UpperCaser::upper(std::string_view utf8)
{
    m_buffer.resize(utf8.size());
    bool ascii = true;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        m_buffer[i] = upperAscii(c);
    }
    if (ascii || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 3))
        return ascii ? std::string_view(m_buffer) : utf8;

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
