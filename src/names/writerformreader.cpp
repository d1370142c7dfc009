#include "names/writerformreader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>

#include <unicode/utf8.h>

#include "catalog/catalogencoding.h"
#include "catalog/catalogformat.h"
#include "platform/filesystem.h"
#include "platform/hexdigits.h"

namespace mellowby::names {

namespace {

// How much of the file is decoded at a time (cut after a line feed).
constexpr std::size_t kPiece = 4 << 20;
constexpr std::size_t kMaxAttributes = WriterFormTag::kMaxAttributes;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the blanks that text holds from i on end.
std::size_t skipSpace(std::string_view text, std::size_t i)
{
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return i;
}

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void appendUtf8(std::string& out, std::uint32_t c)
{
    char bytes[U8_MAX_LENGTH];
    std::size_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(c));
    out.append(bytes, length);
}

// Decodes the reference that text starts with ("&amp;", "&#233;"...) onto out and says how long
// it was; 0 for anything the reader does not take.
std::size_t appendReference(std::string_view text, std::string& out)
{
    const std::size_t end = text.find(';');
    if (end > 12) // npos included
        return 0;
    const std::string_view body = text.substr(1, end - 1);
    if (body == "amp")
        out += '&';
    else if (body == "lt")
        out += '<';
    else if (body == "gt")
        out += '>';
    else if (body == "apos")
        out += '\'';
    else if (body == "quot")
        out += '"';
    else if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > (hex ? 6u : 7u))
            return 0;
        std::uint32_t value = 0;
        for (const char c : digits) {
            const int digit = platform::hexDigitValue(c);
            if (digit < 0 || (!hex && digit > 9))
                return 0;
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        }
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
        appendUtf8(out, value);
    } else {
        return 0;
    }
    return end + 1;
}

// What a token of the text gave: taken (and how long it was), not there yet (the text ends
// inside it), or not of the form the reader takes.
enum class Outcome { Taken, Incomplete, Refused };

// How the model reads the characters of an attribute value or of an element's text.
struct CharacterRules {
    char lineEnd; // what a CR LF pair or a lone CR becomes
    bool blanksAsSpace; // a literal tab or line feed becomes a blank
    std::string_view refused; // characters that may not stand there
};

// raw as the model reads it by rules, references decoded, into out; false for a reference the
// reader does not take or a character the rules refuse.
bool decodeCharacters(std::string_view raw, const CharacterRules& rules, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '&') {
            const std::size_t used = appendReference(raw.substr(i), out);
            if (used == 0)
                return false;
            i += used - 1;
        } else if (c == '\r') {
            out += rules.lineEnd;
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else if (rules.refused.find(c) != std::string_view::npos) {
            return false;
        } else if (rules.blanksAsSpace && (c == '\t' || c == '\n')) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return true;
}

// An attribute value as the document model reads it: references decoded, literal tab, line feed
// and carriage return (a CR LF pair counting once) read as blanks.
bool decodeAttribute(std::string_view raw, std::string& out)
{
    // Most values hold nothing to decode.
    if (raw.find_first_of(std::string_view("&\r\n\t<\0", 6)) == std::string_view::npos) {
        out.assign(raw);
        return true;
    }
    return decodeCharacters(raw, { ' ', true, std::string_view("<\0", 2) }, out);
}

// The text of an element as the model reads it: references decoded, CR LF and a lone CR read as
// LF. Text of white space alone is no text to the model; the reader refuses it.
bool decodeText(std::string_view raw, std::string& out)
{
    if (!raw.empty() && !isSpace(raw.front())
        && raw.find_first_of(std::string_view("&\r\0", 3)) == std::string_view::npos) {
        out.assign(raw);
        return true;
    }
    return decodeCharacters(raw, { '\n', false, std::string_view("\0", 1) }, out) && skipSpace(raw, 0) != raw.size();
}

// A start tag's attributes, and where the tag ends.
struct Tag : WriterFormTag {
    std::size_t length = 0; // through the closing ">"
};

// Reads the attributes of the tag whose name ends at text[from], up to its ">".
Outcome readTag(std::string_view text, std::size_t from, Tag& tag)
{
    std::size_t i = from;
    tag.count = 0;
    for (;;) {
        const std::size_t spaceStart = i;
        i = skipSpace(text, i);
        if (i == text.size())
            return Outcome::Incomplete;
        if (text[i] == '>') {
            tag.length = i + 1;
            return Outcome::Taken;
        }
        if (i == spaceStart || !isNameStart(text[i]) || tag.count == kMaxAttributes)
            return Outcome::Refused;
        while (i < text.size() && isNameChar(text[i]))
            ++i;
        i = skipSpace(text, i);
        if (i == text.size())
            return Outcome::Incomplete;
        if (text[i] != '=')
            return Outcome::Refused;
        i = skipSpace(text, i + 1);
        if (i == text.size())
            return Outcome::Incomplete;
        const char quote = text[i];
        if (quote != '"' && quote != '\'')
            return Outcome::Refused;
        const std::size_t valueStart = ++i;
        const std::size_t valueEnd = text.find(quote, valueStart);
        if (valueEnd == std::string_view::npos)
            return Outcome::Incomplete;
        if (!decodeAttribute(text.substr(valueStart, valueEnd - valueStart), tag.values[tag.count]))
            return Outcome::Refused;
        ++tag.count;
        i = valueEnd + 1;
    }
}

// Whether text at from names the element name, followed by what may follow a name in a tag.
Outcome named(std::string_view text, std::size_t from, std::string_view name)
{
    if (text.size() - from <= name.size())
        return text.substr(from).starts_with(name.substr(0, text.size() - from)) ? Outcome::Incomplete
                                                                                 : Outcome::Refused;
    if (text.substr(from, name.size()) != name)
        return Outcome::Refused;
    const char after = text[from + name.size()];
    return isSpace(after) || after == '>' ? Outcome::Taken : Outcome::Refused;
}

// Reads the end tag of the element name ("</name>", blanks allowed before the ">") that text
// holds from its "</" at from on; length is where it ends.
Outcome readEndTag(std::string_view text, std::size_t from, std::string_view name, std::size_t& length)
{
    constexpr std::string_view kEndOpening = "</";
    const std::size_t nameStart = from + kEndOpening.size();
    if (text.size() < nameStart)
        return Outcome::Incomplete;
    if (text.substr(from, kEndOpening.size()) != kEndOpening)
        return Outcome::Refused;
    if (const Outcome outcome = named(text, nameStart, name); outcome != Outcome::Taken)
        return outcome;
    const std::size_t close = skipSpace(text, nameStart + name.size());
    if (close == text.size())
        return Outcome::Incomplete;
    if (text[close] != '>')
        return Outcome::Refused;
    length = close + 1;
    return Outcome::Taken;
}

// Feeds the elements of a file's decoded text to a sink as their tags are read, keeping the
// depth it is at between the pieces of the text.
class ElementFeeder {
public:
    explicit ElementFeeder(IWriterFormSink& sink)
        : m_sink(sink)
    {
    }

    // Takes what it can of text; the rest (a token cut by the end of the piece) is left for the
    // next piece.
    Outcome take(std::string_view text, std::size_t& used)
    {
        used = 0;
        for (;;) {
            used = skipSpace(text, used);
            if (used == text.size())
                return Outcome::Taken;
            if (m_depth == 0 && m_closed)
                return Outcome::Refused; // nothing may follow the root element
            if (text[used] != '<')
                return Outcome::Refused; // text between elements
            std::size_t length = 0;
            const Outcome outcome = token(text.substr(used), length);
            if (outcome != Outcome::Taken)
                return outcome;
            used += length;
        }
    }

    bool finished() const { return m_closed && m_depth == 0; }

private:
    Outcome token(std::string_view text, std::size_t& length)
    {
        if (text.size() < 2)
            return Outcome::Incomplete;
        if (text[1] == '/')
            return endTag(text, length);
        if (m_depth == 0) {
            if (m_closed)
                return Outcome::Refused;
            return element(text, catalog::kDiskElement, length);
        }
        if (text[1] == catalog::kFileElement.front())
            return file(text, length);
        return element(text, catalog::kDirectoryElement, length);
    }

    Outcome element(std::string_view text, std::string_view name, std::size_t& length)
    {
        if (const Outcome outcome = named(text, 1, name); outcome != Outcome::Taken)
            return outcome;
        const Outcome outcome = readTag(text, 1 + name.size(), m_tag);
        if (outcome != Outcome::Taken)
            return outcome;
        if (!(m_depth == 0 ? m_sink.disk(m_tag) : m_sink.enterDirectory(m_tag)))
            return Outcome::Refused;
        ++m_depth;
        length = m_tag.length;
        return Outcome::Taken;
    }

    Outcome file(std::string_view text, std::size_t& length)
    {
        if (const Outcome outcome = named(text, 1, catalog::kFileElement); outcome != Outcome::Taken)
            return outcome;
        const Outcome outcome = readTag(text, 1 + catalog::kFileElement.size(), m_tag);
        if (outcome != Outcome::Taken)
            return outcome;
        const std::size_t textStart = m_tag.length;
        const std::size_t textEnd = text.find('<', textStart);
        if (textEnd == std::string_view::npos)
            return Outcome::Incomplete;
        if (const Outcome ending = readEndTag(text, textEnd, catalog::kFileElement, length); ending != Outcome::Taken)
            return ending;
        if (!decodeText(text.substr(textStart, textEnd - textStart), m_name) || !m_sink.file(m_tag, m_name))
            return Outcome::Refused;
        return Outcome::Taken;
    }

    Outcome endTag(std::string_view text, std::size_t& length)
    {
        if (m_depth == 0)
            return Outcome::Refused;
        const std::string_view name = m_depth == 1 ? catalog::kDiskElement : catalog::kDirectoryElement;
        if (const Outcome outcome = readEndTag(text, 0, name, length); outcome != Outcome::Taken)
            return outcome;
        if (--m_depth == 0)
            m_closed = true;
        else
            m_sink.leaveDirectory();
        return Outcome::Taken;
    }

    IWriterFormSink& m_sink;
    std::size_t m_depth = 0;
    bool m_closed = false;
    Tag m_tag;
    std::string m_name;
};

// The XML declaration that may open the text, or nothing; false for anything else that starts
// with "<?" or "<!" (processing instructions, comments, a document type), which the reader
// leaves to the model.
bool skipDeclaration(std::string_view text, std::size_t& used)
{
    used = 0;
    if (text.starts_with("<?xml") && text.size() > 5 && isSpace(text[5])) {
        const std::size_t end = text.find("?>");
        if (end == std::string_view::npos)
            return false;
        used = end + 2;
    }
    const std::size_t next = skipSpace(text, used);
    return !(text.substr(next).starts_with("<?") || text.substr(next).starts_with("<!"));
}

} // namespace

bool readWriterForm(const platform::IReadableFile& file, IWriterFormSink& sink)
{
    // Only the file as it was opened: bytes appended since belong to another version of it.
    const std::uint64_t size = file.stamp().size;
    std::optional<catalog::CatalogTextDecoder> decoder;
    ElementFeeder elements(sink);
    std::string bytes; // read, not yet decoded: what follows the last line feed
    std::string pending; // decoded, not yet taken: a token cut by the end of a piece
    std::uint64_t offset = 0;
    bool first = true;
    for (;;) {
        const std::size_t kept = bytes.size();
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size - offset));
        bytes.resize(kept + want);
        const auto got = file.readAt(offset, std::span<char>(bytes.data() + kept, want));
        if (!got || *got != want)
            return false; // unreadable, or cut short since it was opened
        offset += want;
        const bool atEnd = offset == size;
        // A NUL is left to the model, which has its own view of it.
        if (std::memchr(bytes.data() + kept, '\0', want) != nullptr)
            return false;
        if (!decoder) {
            // So is a byte-order mark.
            if (std::string_view(bytes).starts_with("\xEF\xBB\xBF"))
                return false;
            auto found = catalog::CatalogTextDecoder::forCatalog(bytes);
            if (!found)
                return false;
            decoder = std::move(*found);
        }
        // Pieces end just after a line feed, where no character of any catalog's encoding is cut.
        std::size_t end = bytes.size();
        if (!atEnd) {
            const std::size_t newline = bytes.rfind('\n');
            if (newline == std::string::npos)
                continue; // a line longer than a piece: read on
            end = newline + 1;
        }
        const std::string_view piece = std::string_view(bytes).substr(0, end);
        std::string text = decoder->passesThrough() ? std::string(piece) : decoder->decode(piece);
        bytes.erase(0, end);
        if (!pending.empty())
            text.insert(0, pending);
        std::size_t used = 0;
        if (first) {
            first = false;
            if (!skipDeclaration(text, used))
                return false;
        }
        std::size_t taken = 0;
        const Outcome outcome = elements.take(std::string_view(text).substr(used), taken);
        if (outcome == Outcome::Refused)
            return false;
        pending.assign(text, used + taken);
        if (!sink.goesOn())
            return false;
        if (atEnd)
            break;
    }
    return pending.find_first_not_of(" \t\r\n") == std::string::npos && elements.finished();
}

} // namespace mellowby::names
