#include "app/codepage936.h"

#include <array>
#include <cerrno>
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
    m_descriptor.reset();

    // A two-byte character becomes at most three bytes of UTF-8, so this rarely grows.
    std::string out(bytes.size() + bytes.size() / 2 + kReplacementCharacter.size(), '\0');
    std::size_t written = 0;
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
    return out;
}

std::optional<std::string> encodeCp936(std::string_view utf8)
{
    auto descriptor = IconvHandle::open(kCodePage936, "UTF-8");
    if (!descriptor)
        return std::nullopt;
    return descriptor->convertAll(utf8);
}

} // namespace mellowby::app
