#include "app/inidocument.h"

#include <algorithm>
#include <utility>

#include "app/casefold.h"
#include "app/codepage936.h"

namespace mellowby::app {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// "; 编码：GBK" in code page 936: a comment, and bytes that are not UTF-8.
constexpr std::string_view kCodePageMark = "; \xB1\xE0\xC2\xEB\xA3\xBAGBK";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The profile reader's rule: one pair of the same quote, double or single, around the whole value
// is dropped; anything else is the value itself.
std::string_view withoutOuterQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool isAscii(std::string_view text)
{
    return std::ranges::none_of(text, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// How a file tells that it was written in UTF-8, by earlier versions of this program: its bytes
// are valid UTF-8 and, after any byte order mark, not all ASCII.
bool readsAsUtf8(std::string_view text)
{
    const std::string_view body = text.substr(text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0);
    return !isAscii(body) && isValidUtf8(text);
}

bool holdsLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// What ends the text's last line before a line is appended: a lone CR at the very end (a file cut
// between CR and LF) already counts as a line end, so only the LF is added; a whole line break
// after it would turn the CR into part of that line's value.
std::string_view completionOf(const std::string& text, std::string_view newline)
{
    return text.ends_with('\r') ? "\n" : newline;
}

} // namespace

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

IniDocument::IniDocument(std::string text)
    : m_text(std::move(text))
    , m_readsUtf8(readsAsUtf8(m_text))
{
    parse();
}

IniDocument::IniDocument(std::string text, bool readsUtf8)
    : m_text(std::move(text))
    , m_readsUtf8(readsUtf8)
{
    parse();
}

void IniDocument::settleEncoding()
{
    if (m_readsUtf8) {
        const std::size_t bom = m_text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
        auto inCodePage = encodeCp936(std::string_view(m_text).substr(bom));
        // A character the code page lacks stays in UTF-8, and so does a file whose lines would
        // read otherwise in the code page: the second byte of a pair can be a bracket.
        if (!inCodePage)
            return;
        IniDocument converted(std::move(*inCodePage), false);
        if (!converted.readsLike(*this))
            return;
        *this = std::move(converted);
    }
    // Code page bytes can be valid UTF-8 as well (图片 is CD BC C6 AC), and would read back as
    // other characters: a comment whose bytes UTF-8 does not allow says which the file is in.
    if (readsAsUtf8(m_text)) {
        const std::size_t bom = m_text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
        m_text.insert(bom, std::string(kCodePageMark) + std::string(lineEnd()));
        parse();
    }
}

bool IniDocument::readsLike(const IniDocument& other) const
{
    if (m_lines.size() != other.m_lines.size())
        return false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        const Line& theirs = other.m_lines[i];
        if (line.kind != theirs.kind)
            return false;
        if (line.kind != LineKind::Other && textOf(name(line)) != other.textOf(other.name(theirs)))
            return false;
        if (line.kind == LineKind::Key && valueOf(line) != other.valueOf(theirs))
            return false;
    }
    return true;
}

void IniDocument::parse()
{
    m_lines.clear();
    for (std::size_t begin = 0; begin < m_text.size();) {
        m_lines.push_back(parseLine(begin));
        begin = m_lines.back().next;
    }
}

IniDocument::Line IniDocument::parseLine(std::size_t begin) const
{
    Line line;
    line.begin = begin;
    const std::size_t newline = m_text.find('\n', begin);
    line.end = newline == std::string::npos ? m_text.size() : newline;
    line.next = newline == std::string::npos ? m_text.size() : newline + 1;
    if (line.end > begin && m_text[line.end - 1] == '\r')
        --line.end;

    std::size_t contentBegin = begin;
    if (begin == 0 && m_text.starts_with(kUtf8Bom))
        contentBegin = kUtf8Bom.size();
    const std::string_view content = trimBlanks(std::string_view(m_text).substr(contentBegin, line.end - contentBegin));
    line.blank = content.empty();
    if (content.empty() || content.front() == ';')
        return line;
    const auto offsetOf
        = [this](std::string_view part) { return static_cast<std::size_t>(part.data() - m_text.data()); };

    if (content.front() == '[') {
        const std::size_t close = content.rfind(']');
        if (close == std::string_view::npos)
            return line;
        const std::string_view sectionName = trimBlanks(content.substr(1, close - 1));
        line.kind = LineKind::Section;
        line.nameBegin = offsetOf(sectionName);
        line.nameEnd = line.nameBegin + sectionName.size();
        return line;
    }

    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return line;
    const std::string_view keyName = trimBlanks(content.substr(0, equals));
    if (keyName.empty())
        return line;
    const std::string_view keyValue = trimBlanks(content.substr(equals + 1));
    line.kind = LineKind::Key;
    line.nameBegin = offsetOf(keyName);
    line.nameEnd = line.nameBegin + keyName.size();
    // An empty value sits right after '=' and its blanks, where a new value will go.
    line.valueBegin = keyValue.empty() ? offsetOf(content) + content.size() : offsetOf(keyValue);
    line.valueEnd = line.valueBegin + keyValue.size();
    return line;
}

std::string_view IniDocument::name(const Line& line) const
{
    return std::string_view(m_text).substr(line.nameBegin, line.nameEnd - line.nameBegin);
}

std::optional<std::size_t> IniDocument::findKey(std::string_view section, std::string_view key) const
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.kind == LineKind::Section)
            inSection = equalsIgnoringCase(textOf(name(line)), section);
        else if (line.kind == LineKind::Key && inSection && equalsIgnoringCase(textOf(name(line)), key))
            return i;
    }
    return std::nullopt;
}

std::string IniDocument::value(std::string_view section, std::string_view key) const
{
    const auto index = findKey(section, key);
    if (!index)
        return {};
    return valueOf(m_lines[*index]);
}

std::string IniDocument::valueOf(const Line& line) const
{
    std::string stored = m_text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
    std::erase(stored, '\0');
    // Quotes are ASCII, and code page 936 never uses an ASCII quote as the second byte of a
    // pair, so they are found in the stored bytes before decoding.
    return textOf(withoutOuterQuotes(trimBlanks(stored)));
}

std::string IniDocument::textOf(std::string_view stored) const
{
    if (m_readsUtf8 || isAscii(stored))
        return std::string(stored);
    auto decoder = Cp936Decoder::open();
    // Only a C library without its code page 936 table fails here; the bytes are the best left.
    return decoder ? decoder->decode(stored) : std::string(stored);
}

std::optional<std::string> IniDocument::storedFormOf(std::string_view text) const
{
    return m_readsUtf8 ? std::optional<std::string>(text) : encodeCp936(text);
}

std::string_view IniDocument::lineEnd() const
{
    const std::size_t newline = m_text.find('\n');
    if (newline != std::string::npos && newline > 0 && m_text[newline - 1] == '\r')
        return "\r\n";
    return "\n";
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (section.empty() || key.empty() || holdsLineBreakOrNul(section) || holdsLineBreakOrNul(key)
        || holdsLineBreakOrNul(value) || key.find('=') != std::string_view::npos || key.front() == '['
        || key.front() == ';')
        return false;
    if (!encodeCp936(section) || !encodeCp936(key) || !encodeCp936(value))
        return false;
    // In the file's encoding as it is, which the whole file may leave afterwards.
    store(section, key, *storedFormOf(section), *storedFormOf(key), *storedFormOf(value));
    settleEncoding();
    return true;
}

void IniDocument::store(std::string_view section, std::string_view key, std::string_view storedSection,
    std::string_view storedKey, std::string_view storedValue)
{
    if (const auto index = findKey(section, key)) {
        // Only the value changes; the key as spelt in the file, and its spacing, stay.
        const Line& line = m_lines[*index];
        m_text.replace(line.valueBegin, line.end - line.valueBegin, storedValue);
        parse();
        return;
    }

    const std::string_view newline = lineEnd();
    std::string keyLine;
    keyLine.append(storedKey).append("=").append(storedValue).append(newline);

    const auto sectionLine = std::find_if(m_lines.begin(), m_lines.end(), [&](const Line& line) {
        return line.kind == LineKind::Section && equalsIgnoringCase(textOf(name(line)), section);
    });
    if (sectionLine != m_lines.end()) {
        // After the section's last key, so that keys keep the order they were first written in
        // and any blank lines or comments before the next section stay where they are.
        auto last = sectionLine;
        for (auto it = std::next(sectionLine); it != m_lines.end() && it->kind != LineKind::Section; ++it) {
            if (it->kind == LineKind::Key)
                last = it;
        }
        std::string insertion;
        if (m_text[last->next - 1] != '\n')
            insertion.append(completionOf(m_text, newline));
        insertion.append(keyLine);
        m_text.insert(last->next, insertion);
        parse();
        return;
    }

    std::string insertion;
    if (!m_text.empty() && m_text.back() != '\n')
        insertion.append(completionOf(m_text, newline));
    if (!m_lines.empty() && !m_lines.back().blank)
        insertion.append(newline);
    insertion.append("[").append(storedSection).append("]").append(newline).append(keyLine);
    m_text.append(insertion);
    parse();
}

} // namespace mellowby::app
