#pragma once

#include <string>
#include <string_view>

#include <unicode/ucasemap.h>

namespace mellowby::search {

// Upper-cases UTF-8 text by the Unicode rules (full mappings: "ß" becomes "SS") into a buffer it
// reuses, so that checking every name of a catalog allocates nothing per name. ASCII text never
// reaches ICU. Bytes that are not valid UTF-8 are kept as they are.
class UpperCaser {
public:
    UpperCaser();
    ~UpperCaser();
    UpperCaser(const UpperCaser&) = delete;
    UpperCaser& operator=(const UpperCaser&) = delete;

    // The upper-cased text; valid until the next call.
    std::string_view upper(std::string_view utf8);

private:
    UCaseMap* m_map = nullptr;
    std::string m_buffer;
};

} // namespace mellowby::search
