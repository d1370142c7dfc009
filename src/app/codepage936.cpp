#include "app/codepage936.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "app/casefold.h"

namespace mellowby::app {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// How many bytes one undecodable sequence spans. A lead byte takes its trail byte with it, but
// never an ASCII byte: that may be the '<' or '"' the markup around a name depends on.
std::size_t invalidSequenceLength(const char* bytes, std::size_t available)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const bool leadByte = lead >= 0x81 && lead <= 0xFE;
    if (leadByte && available >= 2 && static_cast<unsigned char>(bytes[1]) >= 0x80) {
        return 2;
    }
    return 1;
}

} // namespace

const char* Cp936Decoder::charsetFor(std::string_view label)
{
    // A catalog that says GB2312 was written in the code page of the system that wrote it, which
    // on a Chinese Windows system is 936: reading it by the strict GB2312 table would lose the
    // characters only 936 has and change the dot and the dash.
    static constexpr std::array<std::pair<std::string_view, const char*>, 4> kCharsets { {
        { "GB2312", kCodePage936 },
        { "EUC-CN", kCodePage936 },
        { "GBK", kCodePage936 },
        { "GB18030", "GB18030" },
    } };
    for (const auto& [name, charset] : kCharsets) {
        if (equalsIgnoringCase(label, name)) {
            return charset;
        }
    }
    return nullptr;
}

std::expected<Cp936Decoder, platform::Error> Cp936Decoder::open(const char* charset)
{
    auto descriptor = IconvHandle::open("UTF-8", charset);
    if (!descriptor) {
        return std::unexpected(std::move(descriptor.error()));
    }
    return Cp936Decoder(std::move(*descriptor));
}

Cp936Decoder::Cp936Decoder(IconvHandle descriptor)
    : m_descriptor(std::move(descriptor))
{
}

std::string Cp936Decoder::decode(std::string_view bytes)
{
    // A two-byte character becomes at most three bytes of UTF-8, so this rarely grows.
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2 + kReplacementCharacter.size());
    // Catalogs are mostly ASCII, which these charsets hold as it is: only the stretches around
    // other bytes go through iconv. A stretch ends after three ASCII bytes in a row, where the
    // whole text would have a character begin too: no character of these charsets, nor any
    // sequence decoding skips, spans three ASCII bytes, so the text decodes as it would in one go.
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t other = at;
        while (other < bytes.size() && static_cast<unsigned char>(bytes[other]) < 0x80)
            ++other;
        out.append(bytes.substr(at, other - at));
        if (other == bytes.size())
            break;
        std::size_t end = other;
        for (std::size_t ascii = 0; end < bytes.size() && ascii < 3; ++end)
            ascii = static_cast<unsigned char>(bytes[end]) < 0x80 ? ascii + 1 : 0;
        decodeStretch(bytes.substr(other, end - other), out);
        at = end;
    }
    return out;
}

void Cp936Decoder::decodeStretch(std::string_view bytes, std::string& out)
{
    m_descriptor.reset();
    std::size_t written = out.size();
    out.resize(written + bytes.size() + bytes.size() / 2 + kReplacementCharacter.size());
    // iconv takes char** for its input but never writes through it.
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t result = ::iconv(m_descriptor.get(), &in, &inLeft, &outPtr, &outLeft);
        const int failure = errno;
        written = static_cast<std::size_t>(outPtr - out.data());
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (failure == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ: a sequence the charset does not define; EINVAL: the text ends inside a character.
        if (out.size() - written < kReplacementCharacter.size()) {
            out.resize(out.size() * 2);
        }
        out.replace(written, kReplacementCharacter.size(), kReplacementCharacter);
        written += kReplacementCharacter.size();
        const std::size_t skipped = failure == EILSEQ ? invalidSequenceLength(in, inLeft) : inLeft;
        in += skipped;
        inLeft -= skipped;
    }
    out.resize(written);
}

std::optional<std::string> encodeCp936(std::string_view utf8)
{
    auto descriptor = IconvHandle::open(kCodePage936, "UTF-8");
    if (!descriptor)
        return std::nullopt;
    return descriptor->convertAll(utf8);
}

namespace {

// The length of the valid UTF-8 character at the start of bytes, or 0 when none begins there:
// no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t utf8CharacterLength(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    // The range of the second byte, which rules out the overlong forms, the surrogates and what
    // lies beyond U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

std::optional<std::string> firstCharacterCp936Lacks(std::string_view utf8)
{
    auto descriptor = IconvHandle::open(kCodePage936, "UTF-8");
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = std::max<std::size_t>(utf8CharacterLength(utf8.substr(i)), 1);
        const std::string_view character = utf8.substr(i, length);
        if (!descriptor || !descriptor->convertAll(character))
            return std::string(character);
        i += length;
    }
    return std::nullopt;
}

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = utf8CharacterLength(bytes.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string Utf8OrCp936Reader::read(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    if (!m_decoder) {
        auto opened = Cp936Decoder::open();
        // Only a C library without its code page 936 table fails here; the bytes are the best left.
        if (!opened)
            return std::string(bytes);
        m_decoder.emplace(std::move(*opened));
    }
    return m_decoder->decode(bytes);
}

} // namespace mellowby::app
