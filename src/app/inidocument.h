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
// between the two systems unchanged; they go in and come out as UTF-8. A file whose bytes are
// valid UTF-8 and not all ASCII (after a byte order mark) was written by an earlier version of
// this program in UTF-8: it is read as UTF-8, and a value stored turns the whole file into code
// page 936 without its byte order mark, unless the file still holds a character the code page
// lacks (or where a byte of a pair would make or unmake a section), when it stays UTF-8 so that
// nothing is lost. Where the code page bytes of a file would be valid UTF-8 too, a comment
// ("; 编码：GBK") goes first, so that it reads back as saved. Section and key names are matched as
// text, read as the values are, without regard to case, around spaces and tabs. When a section or
// a key occurs more than once, the first occurrence of the key (in file order, over every section
// of that name) is the one read and the one replaced.
class IniDocument {
public:
    explicit IniDocument(std::string text);

    const std::string& text() const { return m_text; }
    // Whether the text is read as UTF-8 rather than code page 936.
    bool readsUtf8() const { return m_readsUtf8; }

    // The stored value, as the platform's profile reader gives it: without surrounding spaces
    // and tabs, without one pair of matching outer quotes (ifUseOption="1" reads as 1), with any
    // NUL bytes dropped, decoded from code page 936 (a sequence it does not define reads as
    // U+FFFD) unless the file reads as UTF-8. Empty text when the section or key is missing.
    std::string value(std::string_view section, std::string_view key) const;

    // Stores value under key: an existing key keeps its line and only its value changes; a new
    // key goes after the last key of the first section of that name; a new section goes at the
    // end of the file. New lines use the line end the file already uses ("\n" for a new file).
    // False, with nothing changed, when the names or the value cannot be stored so that they
    // read back the same: a blank name, a line break or NUL anywhere, a key holding '=' or
    // starting like a section or a comment, a name or value with a character code page 936 lacks. (A
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

    // Text as the file holds it, and the file's form of a text (nothing when it has none).
    std::string textOf(std::string_view stored) const;
    std::optional<std::string> storedFormOf(std::string_view text) const;
    void store(std::string_view section, std::string_view key, std::string_view storedSection,
        std::string_view storedKey, std::string_view storedValue);
    IniDocument(std::string text, bool readsUtf8);
    std::string valueOf(const Line& line) const;
    // After a value is stored: the file in code page 936 where it reads the same there, with a
    // comment first where its bytes would otherwise be valid UTF-8 too.
    void settleEncoding();
    // Whether every line is of the same kind, with the same names and values, as other's.
    bool readsLike(const IniDocument& other) const;

    std::string m_text;
    std::vector<Line> m_lines;
    bool m_readsUtf8 = false;
};

// The text without leading and trailing spaces and tabs.
std::string_view trimBlanks(std::string_view text);

} // namespace mellowby::app
