#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::app {

// The text of an INI file, parsed just enough to read and replace single values while every
// other byte stays as it was. A user may have edited the file by hand, so anything is
// accepted: lines that are neither sections, keys nor comments are kept and ignored, LF and
// CR LF line ends are both understood, and a leading UTF-8 byte order mark is skipped.
//
// Values are stored in code page 936, as Windows stores them, so that option.ini files move
// between the two systems unchanged; they go in and come out as UTF-8. Section and key names are
// matched as the bytes given (the program's own are ASCII), without regard to case, around
// spaces and tabs. When a section or a key occurs more than once, the first occurrence of the key
// (in file order, over every section of that name) is the one read and the one replaced.
class IniDocument {
public:
    explicit IniDocument(std::string text);

    const std::string& text() const { return m_text; }

    // The stored value, as the platform's profile reader gives it: without surrounding spaces
    // and tabs, without one pair of matching outer quotes (ifUseOption="1" reads as 1), with any
    // NUL bytes dropped, decoded from code page 936 (a sequence it does not define reads as
    // U+FFFD). Empty text when the section or key is missing.
    std::string value(std::string_view section, std::string_view key) const;

    // Stores value under key: an existing key keeps its line and only its value changes; a new
    // key goes after the last key of the first section of that name; a new section goes at the
    // end of the file. New lines use the line end the file already uses ("\n" for a new file).
    // False, with nothing changed, when the names or the value cannot be stored so that they
    // read back the same: a blank name, a line break or NUL anywhere, a key holding '=' or
    // starting like a section or a comment, a value with a character code page 936 lacks. (A
    // value in matching quotes is stored as given and reads back without them, as on Windows.)
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

private:
    enum class LineKind { Other, Section, Key };

    struct Line {
        std::size_t begin = 0; // first byte
        std::size_t end = 0; // end of the content, before any "\r\n" or "\n"
        std::size_t next = 0; // first byte of the following line
        LineKind kind = LineKind::Other;
        // Section: the name between the brackets. Key: the name before '=' and the value after
        // it, both without surrounding blanks. Offsets, not views, so that copies stay valid.
        std::size_t nameBegin = 0;
        std::size_t nameEnd = 0;
        std::size_t valueBegin = 0;
        std::size_t valueEnd = 0;
        bool blank = true;
    };

    void parse();
    Line parseLine(std::size_t begin) const;
    std::string_view name(const Line& line) const;
    std::optional<std::size_t> findKey(std::string_view section, std::string_view key) const;
    std::string_view lineEnd() const;

    std::string m_text;
    std::vector<Line> m_lines;
};

// The text without leading and trailing spaces and tabs.
std::string_view trimBlanks(std::string_view text);

} // namespace mellowby::app
