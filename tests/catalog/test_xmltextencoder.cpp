#include "gb2312.h"

#include <gtest/gtest.h>

#include "catalog/xmltextencoder.h"

namespace mellowby::catalog {
namespace {

using testing::toGb2312;

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
    EXPECT_EQ(encoder.encode("€"), "&#x20AC;");
    EXPECT_EQ(encoder.encode("😀x"), "&#x1F600;x");
    EXPECT_EQ(encoder.encode("e\u0301"), "e&#x301;"); // a combining mark keeps its place
    EXPECT_EQ(encoder.encode("a\u200Bb"), "a&#x200B;b"); // an invisible character is not dropped
    EXPECT_EQ(encoder.encode("照片€集"), toGb2312("照片") + "&#x20AC;" + toGb2312("集"));
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

// Every character the encoder writes as GB2312 bytes must decode to itself, or names would
// change between scan and display.
TEST(XmlTextEncoder, EveryCharacterWrittenAsBytesReadsBackAsItself)
{
    XmlTextEncoder encoder;
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
        ASSERT_EQ(testing::fromGb2312(encoded), utf8) << std::hex << static_cast<std::uint32_t>(c);
    }
    EXPECT_GT(asBytes, 7000); // the GB2312 repertoire
}

} // namespace
} // namespace mellowby::catalog
