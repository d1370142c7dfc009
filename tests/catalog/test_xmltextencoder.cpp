#include <gtest/gtest.h>

#include "app/codepage936.h"
#include "catalog/xmltextencoder.h"
#include "support/gb2312testtexts.h"

namespace mellowby::catalog {
namespace {

using tests::toGb2312;

TEST(XmlTextEncoder, AsciiSpecialsAndLineBreaks)
{
    XmlTextEncoder encoder;
    EXPECT_EQ(encoder.encode("Tom & Jerry's <b> \"q\""), "Tom &amp; Jerry&apos;s &lt;b&gt; &quot;q&quot;");
    EXPECT_EQ(encoder.encode("a\tb\nc\rd"), "a&#9;b&#10;c&#13;d");
    EXPECT_EQ(encoder.encode(""), "");
}

TEST(XmlTextEncoder, ElementTextOfBlanksAloneSurvivesReading)
{
    XmlTextEncoder encoder;
    std::string out;
    encoder.appendElementText(out, "  ");
    EXPECT_EQ(out, "&#32;&#32;");
    out.clear();
    encoder.appendElementText(out, " a ");
    EXPECT_EQ(out, " a ");
}

TEST(XmlTextEncoder, CharactersGb2312LacksBecomeHexReferences)
{
    XmlTextEncoder encoder;
    EXPECT_EQ(encoder.encode("€"), "&#x20AC;"); // 0x80 in code page 936, outside GB2312
    EXPECT_EQ(encoder.encode("體臺"), "&#x9AD4;&#x81FA;"); // code page 936 has them, GB2312 not
    EXPECT_EQ(encoder.encode("ⅰ"), "&#x2170;"); // A2A1 in code page 936, refused by GB2312 readers
    EXPECT_EQ(encoder.encode("😀x"), "&#x1F600;x");
    EXPECT_EQ(encoder.encode("e\u0301"), "e&#x301;"); // a combining mark keeps its place
    EXPECT_EQ(encoder.encode("a\u200Bb"), "a&#x200B;b"); // an invisible character is not dropped
    EXPECT_EQ(encoder.encode("照片€集"), toGb2312("照片") + "&#x20AC;" + toGb2312("集"));
}

// Windows writes "·" and "—" as A1A4 and A1AA, and reads those pairs back so; the characters
// strict GB2312 tables give for them would change into these on reading, so they are references.
TEST(XmlTextEncoder, DotAndDashAsCodePage936WritesThem)
{
    XmlTextEncoder encoder;
    EXPECT_EQ(
        encoder.encode("列夫·托尔斯泰——"), toGb2312("列夫") + "\xA1\xA4" + toGb2312("托尔斯泰") + "\xA1\xAA\xA1\xAA");
    EXPECT_EQ(encoder.encode("・―"), "&#x30FB;&#x2015;");
}

TEST(XmlTextEncoder, WhatXmlCannotCarryBecomesTheReplacementCharacter)
{
    XmlTextEncoder encoder;
    EXPECT_EQ(encoder.encode("a\x01"
                             "b"),
        "a&#xFFFD;b");
    EXPECT_EQ(encoder.encode("\x7f"), "\x7f"); // DEL is a valid XML character
    EXPECT_EQ(encoder.encode("a\xff"
                             "b"),
        "a&#xFFFD;b");
    EXPECT_EQ(encoder.encode("\xe4\xb8"), "&#xFFFD;&#xFFFD;"); // a cut sequence
    EXPECT_EQ(encoder.encode("\xc0\xaf"), "&#xFFFD;&#xFFFD;"); // an overlong "/"
    EXPECT_EQ(encoder.encode("\xed\xa0\x80"), "&#xFFFD;&#xFFFD;&#xFFFD;"); // a surrogate
    EXPECT_EQ(encoder.encode("\xef\xbf\xbe"), "&#xFFFD;"); // U+FFFE
    EXPECT_EQ(encoder.encode("照\xff片"), toGb2312("照") + "&#xFFFD;" + toGb2312("片"));
}

// Every character the encoder writes as bytes must be a GB2312 pair that the catalog reader
// decodes to that character, or names would change between scan and display.
TEST(XmlTextEncoder, EveryCharacterWrittenAsBytesReadsBackAsItself)
{
    XmlTextEncoder encoder;
    auto reader = app::Cp936Decoder::open(app::Cp936Decoder::charsetFor("GB2312"));
    ASSERT_TRUE(reader.has_value());
    int asBytes = 0;
    for (char32_t c = 0x80; c < 0x30000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::string utf8;
        if (c < 0x800) {
            utf8 = { static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)) };
        } else if (c < 0x10000) {
            utf8 = { static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F)) };
        } else {
            utf8 = { static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F)) };
        }
        const std::string encoded = encoder.encode(utf8);
        if (encoded.starts_with("&#x"))
            continue;
        ++asBytes;
        ASSERT_EQ(reader->decode(encoded), utf8) << std::hex << static_cast<std::uint32_t>(c);
        ASSERT_EQ(encoded.size(), 2u);
        ASSERT_NO_THROW(tests::fromGb2312(encoded)) << std::hex << static_cast<std::uint32_t>(c);
    }
    EXPECT_EQ(asBytes, 7445); // GB2312's repertoire, "·" and "—" in place of "・" and "―"
}

} // namespace
} // namespace mellowby::catalog
