#pragma once

// Names a file system allows and a catalog must give back: drawn from every corner of Unicode and
// beyond it, and what the catalog is to make of each.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace mellowby::hardening {

inline constexpr std::size_t kNameMax = 255; // bytes, as Linux file systems allow

inline void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The name a catalog gives back for a name on disk, worked out from the well-formed UTF-8 byte
// sequences of the Unicode standard (its table 3-7), independently of the writer: every code
// point XML 1.0 can carry comes back as itself; C0 controls other than tab, LF and CR, U+FFFE,
// U+FFFF and every byte that starts no well-formed sequence come back as U+FFFD.
inline std::string expectedName(std::string_view raw)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(raw[i])); };
    const auto in = [&](std::size_t i, unsigned low, unsigned high) {
        return i < raw.size() && byte(i) >= low && byte(i) <= high;
    };
    std::string out;
    std::size_t i = 0;
    while (i < raw.size()) {
        const unsigned lead = byte(i);
        std::size_t length = 0;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF && in(i + 1, 0x80, 0xBF))
            length = 2;
        else if ((lead == 0xE0 && in(i + 1, 0xA0, 0xBF)) || (lead >= 0xE1 && lead <= 0xEC && in(i + 1, 0x80, 0xBF))
            || (lead == 0xED && in(i + 1, 0x80, 0x9F)) || (lead >= 0xEE && lead <= 0xEF && in(i + 1, 0x80, 0xBF)))
            length = in(i + 2, 0x80, 0xBF) ? 3 : 0;
        else if ((lead == 0xF0 && in(i + 1, 0x90, 0xBF)) || (lead >= 0xF1 && lead <= 0xF3 && in(i + 1, 0x80, 0xBF))
            || (lead == 0xF4 && in(i + 1, 0x80, 0x8F)))
            length = in(i + 2, 0x80, 0xBF) && in(i + 3, 0x80, 0xBF) ? 4 : 0;

        const std::string_view sequence = raw.substr(i, length);
        const bool control = length == 1 && lead < 0x20 && lead != '\t' && lead != '\n' && lead != '\r';
        const bool nonCharacter = sequence == "\xEF\xBF\xBE" || sequence == "\xEF\xBF\xBF";
        if (length == 0 || control || nonCharacter)
            appendUtf8(out, 0xFFFD);
        else
            out += sequence;
        i += length == 0 ? 1 : length;
    }
    return out;
}

// Names from every corner of Unicode and beyond it, from a fixed seed.
class NameGenerator {
public:
    explicit NameGenerator(std::uint64_t seed)
        : m_random(seed)
    {
    }

    std::string next()
    {
        std::string name;
        const bool fillUp = pick(8) == 0; // some names take all 255 bytes
        const std::size_t pieces = fillUp ? 200 : 1 + pick(10);
        for (std::size_t i = 0; i < pieces; ++i) {
            std::string piece = nextPiece();
            if (name.size() + piece.size() > kNameMax)
                break;
            name += piece;
        }
        if (fillUp) {
            while (name.size() + 2 <= kNameMax)
                name += "\xC3\xA9"; // é
            if (name.size() < kNameMax)
                name += 'x';
        }
        if (name.empty() || name == "." || name == "..")
            name += "n";
        return name;
    }

    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(m_random); }
    std::uint32_t range(std::uint32_t low, std::uint32_t high)
    {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(m_random);
    }

private:
    std::string codePoint(char32_t c)
    {
        std::string text;
        appendUtf8(text, c);
        return text;
    }

    std::string nextPiece()
    {
        // Characters that other code pages or GB2312 tables map differently, white space that is
        // not a blank, invisible and direction-changing characters, the ends of the planes.
        static constexpr char32_t kSpecial[] = { 0xFFFE, 0xFFFF, 0xFFFD, 0xFEFF, 0xFDD0, 0xFDEF, 0x200B, 0x200D, 0x202E,
            0x00A0, 0x3000, 0x00B7, 0x30FB, 0x2014, 0x2015, 0x2016, 0x2225, 0xFF5E, 0x301C, 0xFFE3, 0x203E, 0x00A5,
            0x0085, 0x2028, 0x2029, 0xE000, 0xF8FF, 0x10FFFF, 0x1D11E, 0x0130, 0x00DF, 0x1E9E, 0xFB01, 0x212A, 0x0080,
            0x009F, 0x007F, 0xFF0F, 0x2215, 0x00D7, 0x20AC, 0xA1A1, 0xE5E5 };
        // Byte sequences that are not UTF-8: stray continuation bytes, overlong forms, encoded
        // surrogates, code points past U+10FFFF, sequences cut short, bytes UTF-8 never uses.
        static constexpr std::string_view kInvalid[] = { "\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF",
            "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xE4\xB8", "\xC3",
            "\xF0\x9F\x98", "\xFE", "\xFF", "\xF5", "\xC2\x41", "\xE4\x41\x42" };
        static constexpr std::string_view kCjk[] = { "中文", "目录", "光盘", "照片", "文件", "龍", "𠀀", "丂", "囍" };
        static constexpr std::string_view kEmoji[] = { "😀", "👨‍👩‍👧", "🇨🇳", "👍🏽", "🏳️‍🌈",
            "❤️", "\xF0\x9F\xA7\x91\xE2\x80\x8D\xF0\x9F\x92\xBB" };

        switch (pick(12)) {
        case 0: {
            const auto c = static_cast<char>(range(0x20, 0x7E));
            return std::string(1, c == '/' ? '_' : c);
        }
        case 1:
            return std::string(1, "&<>'\""[pick(5)]);
        case 2:
            return std::string(1, "\t\n\r"[pick(3)]);
        case 3: {
            auto c = static_cast<char>(range(1, 0x1F));
            return std::string(1, c);
        }
        case 4:
            return pick(2) == 0 ? std::string(kCjk[pick(std::size(kCjk))]) : codePoint(range(0x4E00, 0x9FFF));
        case 5:
            return pick(2) == 0 ? std::string(kEmoji[pick(std::size(kEmoji))]) : codePoint(range(0x1F300, 0x1FAFF));
        case 6: // a base letter with one or more combining marks
            return std::string(1, 'a') + codePoint(range(0x0300, 0x036F)) + codePoint(range(0x1DC0, 0x1DFF));
        case 7: {
            char32_t c = 0;
            do
                c = range(0x80, 0x10FFFF);
            while (c >= 0xD800 && c <= 0xDFFF);
            return codePoint(c);
        }
        case 8:
            return codePoint(kSpecial[pick(std::size(kSpecial))]);
        case 9:
            return std::string(kInvalid[pick(std::size(kInvalid))]);
        case 10:
            return std::string(1 + pick(3), ' ');
        default:
            return codePoint(range(0xA0, 0x2FFF));
        }
    }

    std::mt19937_64 m_random;
};

} // namespace mellowby::hardening
