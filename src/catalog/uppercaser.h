#pragma once

#include <bitset>
#include <memory>
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
    // Which characters of the basic plane have no case, as ICU says, asked a page at a time.
    struct Caseless {
        std::bitset<0x10000> changes; // of the pages known
        std::bitset<0x100> known;
        bool has(char32_t c);
    };
    // Upper-cases utf8 into the buffer (as long as utf8) from position from, where the text is
    // still the same as upper-cased: ASCII letters are upper-cased, every other character of the
    // basic plane is kept when it has no case. False when one has case, lies beyond the plane, or
    // the bytes are not valid UTF-8: ICU then does it all. Names of characters without case
    // (Chinese, Japanese kana, symbols) are so upper-cased without ICU, as ASCII names are.
    bool upperCaseless(std::string_view utf8, std::size_t from);

    UCaseMap* m_map = nullptr;
    std::string m_buffer;
    std::unique_ptr<Caseless> m_caseless; // made when the first such text comes
};

} // namespace mellowby::catalog
