#pragma once

#include <string>
#include <string_view>

#include <iconv.h>

namespace mellowby::catalog {

// Turns names as the file system gives them (UTF-8 bytes, not always valid) into the bytes a
// GB2312 catalog holds: the five XML specials as entities, characters GB2312 lacks as hexadecimal
// character references, tab/LF/CR as decimal references so every entry stays on one line, and
// anything XML 1.0 cannot carry (other C0 controls, invalid UTF-8, U+FFFE/U+FFFF) as U+FFFD.
//
// The conversion goes through glibc's GB2312 table, the same one the reader decodes with, so
// every character written reads back as itself. ICU's "GB2312" converter maps private-use
// characters and drops default-ignorable ones silently, which would change names.
class XmlTextEncoder {
public:
    XmlTextEncoder();
    ~XmlTextEncoder();
    XmlTextEncoder(const XmlTextEncoder&) = delete;
    XmlTextEncoder& operator=(const XmlTextEncoder&) = delete;

    void append(std::string& out, std::string_view utf8);
    // As append, for the text of an element: a text made of blanks alone would be taken for the
    // white space between elements when read, so its blanks are written as references.
    void appendElementText(std::string& out, std::string_view utf8);

    std::string encode(std::string_view utf8)
    {
        std::string out;
        append(out, utf8);
        return out;
    }

private:
    void appendNonAscii(std::string& out, std::string_view run);

    iconv_t m_toGb2312;
};

} // namespace mellowby::catalog
