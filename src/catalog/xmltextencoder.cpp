#include "catalog/xmltextencoder.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

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

} // namespace

XmlTextEncoder::XmlTextEncoder()
    : m_toGb2312(iconv_open("GB2312", "UTF-8"))
{
    if (m_toGb2312 == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("the C library has no GB2312 converter");
}

XmlTextEncoder::~XmlTextEncoder()
{
    iconv_close(m_toGb2312);
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
        // Hand the whole run of valid non-ASCII characters to iconv in one call.
        std::size_t runEnd = i;
        char32_t codePoint = 0;
        while (runEnd < utf8.size() && static_cast<unsigned char>(utf8[runEnd]) >= 0x80) {
            const std::size_t length = decodeUtf8(utf8.substr(runEnd), codePoint);
            if (length == 0 || !isXmlChar(codePoint))
                break;
            runEnd += length;
        }
        if (runEnd > i) {
            appendNonAscii(out, utf8.substr(i, runEnd - i));
            i = runEnd;
        } else {
            // Invalid UTF-8 or a non-character: one replacement for the bytes of this sequence.
            const std::size_t length = decodeUtf8(utf8.substr(i), codePoint);
            appendHexReference(out, kReplacement);
            i += length == 0 ? 1 : length;
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

void XmlTextEncoder::appendNonAscii(std::string& out, std::string_view run)
{
    iconv(m_toGb2312, nullptr, nullptr, nullptr, nullptr);
    // GB2312 never needs more bytes than UTF-8 for the characters it holds.
    char* in = const_cast<char*>(run.data());
    std::size_t inLeft = run.size();
    while (inLeft > 0) {
        const std::size_t start = out.size();
        out.resize(start + inLeft);
        char* outPtr = out.data() + start;
        std::size_t outLeft = inLeft;
        const std::size_t result = iconv(m_toGb2312, &in, &inLeft, &outPtr, &outLeft);
        out.resize(out.size() - outLeft);
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue; // more room is made on the next round
        char32_t codePoint = 0;
        const std::size_t length = decodeUtf8(std::string_view(in, inLeft), codePoint);
        appendHexReference(out, length == 0 ? kReplacement : codePoint);
        const std::size_t skip = length == 0 ? 1 : length;
        in += skip;
        inLeft -= skip;
        iconv(m_toGb2312, nullptr, nullptr, nullptr, nullptr);
    }
}

} // namespace mellowby::catalog
