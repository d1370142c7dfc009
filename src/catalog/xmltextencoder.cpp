#include "catalog/xmltextencoder.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/codepage936.h"
#include "app/iconvhandle.h"

namespace mellowby::catalog {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the valid UTF-8 sequence at the start of text and its code point, or 0 when the
// bytes there are not valid UTF-8 (overlong forms and surrogates included).
std::size_t decodeUtf8(std::string_view text, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u)
            return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool isXmlChar(char32_t c)
{
    return c != 0xFFFE && c != 0xFFFF;
}

void appendHexReference(std::string& out, char32_t c)
{
    char reference[16];
    const int length = std::snprintf(reference, sizeof reference, "&#x%X;", static_cast<unsigned>(c));
    out.append(reference, static_cast<std::size_t>(length));
}

void appendAscii(std::string& out, char c)
{
    switch (c) {
    case '&':
        out += "&amp;";
        return;
    case '<':
        out += "&lt;";
        return;
    case '>':
        out += "&gt;";
        return;
    case '\'':
        out += "&apos;";
        return;
    case '"':
        out += "&quot;";
        return;
    case '\t':
        out += "&#9;";
        return;
    case '\n':
        out += "&#10;";
        return;
    case '\r':
        out += "&#13;";
        return;
    default:
        if (static_cast<unsigned char>(c) < 0x20)
            appendHexReference(out, kReplacement);
        else
            out += c;
    }
}

app::IconvHandle openConverter(const char* to, const char* from)
{
    auto handle = app::IconvHandle::open(to, from);
    if (!handle)
        throw std::runtime_error(std::string("the C library cannot convert ") + from + " to " + to);
    return std::move(*handle);
}

// The code point of text that holds exactly one wide character, as iconv's WCHAR_T gives it.
std::optional<char32_t> onlyCharacterOf(const std::optional<std::string>& wide)
{
    if (!wide || wide->size() != sizeof(wchar_t))
        return std::nullopt;
    wchar_t c = 0;
    std::memcpy(&c, wide->data(), sizeof c);
    return static_cast<char32_t>(c);
}

std::unique_ptr<const XmlTextEncoder::ByteTable> buildByteTable()
{
    // Taken from the C library's own tables, the ones the reader decodes with, rather than
    // written out here.
    app::IconvHandle fromCp936 = openConverter("WCHAR_T", app::kCodePage936);
    app::IconvHandle toCp936 = openConverter(app::kCodePage936, "WCHAR_T");
    app::IconvHandle fromGb2312 = openConverter("WCHAR_T", "GB2312");
    auto table = std::make_unique<XmlTextEncoder::ByteTable>();
    table->fill(0);
    for (unsigned first = 0xA1; first <= 0xF7; ++first) {
        for (unsigned second = 0xA1; second <= 0xFE; ++second) {
            const std::string pair { static_cast<char>(first), static_cast<char>(second) };
            // Kept: a pair that code page 936 reads as one character and strict GB2312 readers
            // accept, and that code page 936 writes that character as.
            const auto c = onlyCharacterOf(fromCp936.convertAll(pair));
            if (!c || *c > 0xFFFF || !fromGb2312.convertAll(pair))
                continue;
            const auto wide = static_cast<wchar_t>(*c);
            if (toCp936.convertAll(std::string_view(reinterpret_cast<const char*>(&wide), sizeof wide)) != pair)
                continue;
            (*table)[*c] = static_cast<std::uint16_t>(first << 8 | second);
        }
    }
    return table;
}

const XmlTextEncoder::ByteTable& byteTable()
{
    static const std::unique_ptr<const XmlTextEncoder::ByteTable> table = buildByteTable();
    return *table;
}

} // namespace

XmlTextEncoder::XmlTextEncoder()
    : m_bytes(byteTable())
{
}

void XmlTextEncoder::append(std::string& out, std::string_view utf8)
{
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            appendAscii(out, utf8[i]);
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = decodeUtf8(utf8.substr(i), codePoint);
        if (length == 0 || !isXmlChar(codePoint)) {
            // Invalid UTF-8 or a non-character: one replacement for the bytes of this sequence.
            appendHexReference(out, kReplacement);
            i += length == 0 ? 1 : length;
            continue;
        }
        const std::uint16_t pair = codePoint <= 0xFFFF ? m_bytes[codePoint] : 0;
        if (pair != 0) {
            out += static_cast<char>(pair >> 8);
            out += static_cast<char>(pair & 0xFF);
        } else {
            appendHexReference(out, codePoint);
        }
        i += length;
    }
}

void XmlTextEncoder::appendAsRead(std::string& out, std::string_view utf8)
{
    constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            // Tab, line feed and carriage return travel as references and come back as they were.
            if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
                out += kReplacementUtf8;
            else
                out += utf8[i];
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = decodeUtf8(utf8.substr(i), codePoint);
        if (length == 0 || !isXmlChar(codePoint)) {
            out += kReplacementUtf8;
            i += length == 0 ? 1 : length;
        } else {
            out.append(utf8.substr(i, length));
            i += length;
        }
    }
}

void XmlTextEncoder::appendElementText(std::string& out, std::string_view utf8)
{
    if (utf8.empty() || utf8.find_first_not_of(' ') != std::string_view::npos) {
        append(out, utf8);
        return;
    }
    for (std::size_t i = 0; i < utf8.size(); ++i)
        out += "&#32;";
}

} // namespace mellowby::catalog
