#pragma once

#include <string>
#include <string_view>

#include <unicode/ucasemap.h>

namespace mellowby::catalog {

// The one upper-casing of names: the search compares names upper-cased so, and file types are
// upper-cased so before the filter lists are searched for them. UTF-8 text is upper-cased by the
// Unicode rules (full mappings: "ß" becomes "SS") into a buffer it reuses, so that checking every
// name of a catalog allocates nothing per name. ASCII text never reaches ICU, and ICU's case map
// is opened only when the first other text comes. Bytes that are not valid UTF-8 are kept as
// they are.
class UpperCaser {
public:
    UpperCaser() = default;
    ~UpperCaser();
    UpperCaser(const UpperCaser&) = delete;
    UpperCaser& operator=(const UpperCaser&) = delete;

    // The upper-cased text; valid until the next call.
    std::string_view upper(std::string_view utf8);

private:
    UCaseMap* m_map = nullptr;
    std::string m_buffer;
};

} // namespace mellowby::catalog
