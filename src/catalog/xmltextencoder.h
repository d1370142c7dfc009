#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mellowby::catalog {

// Turns names as the file system gives them (UTF-8 bytes, not always valid) into the bytes a
// GB2312 catalog holds: the five XML specials as entities, characters written as GB2312 bytes
// where they may be (below), every other character as a hexadecimal character reference,
// tab/LF/CR as decimal references so every entry stays on one line, and anything XML 1.0 cannot
// carry (other C0 controls, invalid UTF-8, U+FFFE/U+FFFF) as U+FFFD.
//
// Catalogs are read as code page 936, as Windows writes them, and must stay readable by strict
// GB2312 readers too. So a character is written as two bytes exactly when its code page 936 bytes
// are a pair GB2312 defines (first byte A1-F7, second A1-FE) and read back as that character:
// "·" becomes A1A4 and "—" A1AA, while "・" (U+30FB) and "―" (U+2015), which strict GB2312
// tables put there, and the few additions of code page 936 inside that range become references.
class XmlTextEncoder {
public:
    // For each character of the Basic Multilingual Plane the two bytes it is written as (first
    // byte << 8 | second), or 0 when it is written as a reference.
    using ByteTable = std::array<std::uint16_t, 0x10000>;

    // Throws when the C library lacks the code page 936 or GB2312 tables the rule is taken from.
    XmlTextEncoder();

    void append(std::string& out, std::string_view utf8);
    // As append, for the text of an element: a text made of blanks alone would be taken for the
    // white space between elements when read, so its blanks are written as references.
    void appendElementText(std::string& out, std::string_view utf8);

    // What a reader of the catalog reads back for what append() or appendElementText() writes of
    // utf8: the text itself, but for the characters XML cannot carry, which read as U+FFFD.
    static void appendAsRead(std::string& out, std::string_view utf8);

    std::string encode(std::string_view utf8)
    {
        std::string out;
        append(out, utf8);
        return out;
    }

private:
    const ByteTable& m_bytes;
};

} // namespace mellowby::catalog
