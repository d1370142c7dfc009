#include "catalog/gb2312decoder.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace mellowby::catalog {

namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

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

const char* Gb2312Decoder::charsetFor(std::string_view label)
{
    // GB2312 as declared in a file is the EUC-CN form, which is what iconv calls GB2312.
    static constexpr std::array<std::pair<std::string_view, const char*>, 4> kCharsets { {
        { "GB2312", "GB2312" },
        { "EUC-CN", "GB2312" },
        { "GBK", "GBK" },
        { "GB18030", "GB18030" },
    } };
    for (const auto& [name, charset] : kCharsets) {
        if (equalsIgnoringCase(label, name)) {
            return charset;
        }
    }
    return nullptr;
}

std::expected<Gb2312Decoder, platform::Error> Gb2312Decoder::open(const char* charset)
{
    const iconv_t descriptor = ::iconv_open("UTF-8", charset);
    if (descriptor == kNoDescriptor) {
        return std::unexpected(platform::errorFromErrno(errno));
    }
    return Gb2312Decoder(descriptor);
}

Gb2312Decoder::Gb2312Decoder(iconv_t descriptor)
    : m_descriptor(descriptor)
{
}

Gb2312Decoder::Gb2312Decoder(Gb2312Decoder&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, kNoDescriptor))
{
}

Gb2312Decoder& Gb2312Decoder::operator=(Gb2312Decoder&& other) noexcept
{
    std::swap(m_descriptor, other.m_descriptor);
    return *this;
}

Gb2312Decoder::~Gb2312Decoder()
{
    if (m_descriptor != kNoDescriptor) {
        ::iconv_close(m_descriptor);
    }
}

std::string Gb2312Decoder::decode(std::string_view bytes)
{
    ::iconv(m_descriptor, nullptr, nullptr, nullptr, nullptr);

    // A two-byte character becomes at most three bytes of UTF-8, so this rarely grows.
    std::string out(bytes.size() + bytes.size() / 2 + kReplacementCharacter.size(), '\0');
    std::size_t written = 0;
    // iconv takes char** for its input but never writes through it.
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t result = ::iconv(m_descriptor, &in, &inLeft, &outPtr, &outLeft);
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

} // namespace mellowby::catalog
