#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "app/iconvhandle.h"
#include "platform/error.h"

namespace mellowby::app {

// Text written on a Chinese (PRC) Windows system is in its ANSI code page, 936 (GBK): catalogs
// made there, which declare it as GB2312, and option.ini, which declares nothing. Code page 936
// holds all of GB2312 and more (traditional characters, 0x80 for "€"), and reads A1A4 and A1AA
// as "·" and "—" where strict GB2312 tables have "・" and "―".
inline constexpr const char* kCodePage936 = "CP936";

// Turns text in code page 936, or in GB18030 where a catalog declares it, into UTF-8 through
// iconv. A byte sequence the charset does not define becomes U+FFFD and decoding goes on, so one
// damaged name never costs the rest of a catalog.
class Cp936Decoder {
public:
    // The iconv charset for an encoding label a catalog declares: code page 936 for GB2312,
    // EUC-CN and GBK, GB18030 for GB18030 (in any letter case); nullptr for any other label.
    static const char* charsetFor(std::string_view label);

    // A decoder for kCodePage936 or a charset that charsetFor() returned.
    static std::expected<Cp936Decoder, platform::Error> open(const char* charset = kCodePage936);

    std::string decode(std::string_view bytes);

private:
    explicit Cp936Decoder(IconvHandle descriptor);
    // Appends the UTF-8 text of bytes, decoded by iconv, to out.
    void decodeStretch(std::string_view bytes, std::string& out);

    IconvHandle m_descriptor;
};

// The code page 936 bytes of UTF-8 text, or nothing when the text holds a character the code
// page lacks or is not valid UTF-8.
std::optional<std::string> encodeCp936(std::string_view utf8);

// The first character of UTF-8 text that code page 936 lacks, as UTF-8; nothing when it has
// them all. A byte that is not UTF-8 counts as such a character.
std::optional<std::string> firstCharacterCp936Lacks(std::string_view utf8);

// Whether bytes are valid UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);

// Text whose encoding nothing declares, such as a file's name or option.ini: bytes that are valid
// UTF-8 are taken as UTF-8, anything else as code page 936, as a Chinese Windows system wrote it.
// Text that is both (ASCII) reads the same either way.
class Utf8OrCp936Reader {
public:
    std::string read(std::string_view bytes);

private:
    std::optional<Cp936Decoder> m_decoder; // opened for the first text that needs it
};

} // namespace mellowby::app
