#pragma once

#include <expected>
#include <string>
#include <string_view>

#include <iconv.h>

#include "platform/error.h"

namespace mellowby::catalog {

// Turns text in GB2312 or one of its supersets (GBK, GB18030) into UTF-8 through iconv. Owns its
// conversion descriptor. A byte sequence the charset does not define becomes U+FFFD and decoding
// goes on, so one damaged name never costs the rest of a catalog.
class Gb2312Decoder {
public:
    // The iconv charset for an encoding label of the GB family (GB2312, EUC-CN, GBK, GB18030, in any
    // letter case); nullptr for any other label.
    static const char* charsetFor(std::string_view label);

    // A decoder for a charset that charsetFor() returned.
    static std::expected<Gb2312Decoder, platform::Error> open(const char* charset);

    Gb2312Decoder(Gb2312Decoder&& other) noexcept;
    Gb2312Decoder& operator=(Gb2312Decoder&& other) noexcept;
    Gb2312Decoder(const Gb2312Decoder&) = delete;
    Gb2312Decoder& operator=(const Gb2312Decoder&) = delete;
    ~Gb2312Decoder();

    std::string decode(std::string_view bytes);

private:
    explicit Gb2312Decoder(iconv_t descriptor);

    iconv_t m_descriptor;
};

} // namespace mellowby::catalog
