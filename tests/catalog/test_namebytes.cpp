#include <gtest/gtest.h>
#include <random>
#include <string>

#include "catalog/namebytes.h"

using namespace mellowby::catalog;

namespace {

std::string upperedByteByByte(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    return upper;
}

} // namespace

// The wide passes against the plain rule, at every length and offset around the width of a pass,
// over bytes of every value (GBK and UTF-8 bytes above 0x80 included) and over sparse NULs.
TEST(NameBytes, WidePassesAgreeWithTheByteRule)
{
    std::mt19937 random(7);
    const std::string alphabet = std::string("aAzZ`{@[\x80\xff\xe9\xb0 ._R") + '\0';
    for (int round = 0; round < 2000; ++round) {
        std::string text(static_cast<std::size_t>(random() % 70), ' ');
        for (char& c : text)
            c = round % 2 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        const std::size_t offset = random() % (text.size() + 1);
        const char* const begin = text.data() + offset;
        const char* const end = text.data() + text.size();

        std::string copied(text.size() - offset, '?');
        copyUpperAscii(begin, end, copied.data());
        EXPECT_EQ(copied, upperedByteByByte(text.substr(offset)));

        std::uint64_t nuls = 0;
        for (const char* at = begin; at != end; ++at)
            nuls += *at == '\0' ? 1 : 0;
        EXPECT_EQ(countNuls(begin, end), nuls);

        const std::size_t needleAt = random() % (text.size() + 1);
        const std::string needle = text.substr(needleAt, random() % 6);
        const std::string_view rest(begin, static_cast<std::size_t>(end - begin));
        const std::size_t expected = rest.find(needle);
        const char* const found = findBytes(begin, end, needle);
        EXPECT_EQ(found == nullptr ? std::string_view::npos : static_cast<std::size_t>(found - begin), expected)
            << "round " << round;
    }
}

TEST(NameBytes, TheNeedleAtTheVeryEndAndOneByteShortAndLongRunsOfNuls)
{
    // More NULs than a lane of the wide count holds before it is added up.
    const std::string nuls(255 * 16 * 2 + 5, '\0');
    EXPECT_EQ(countNuls(nuls.data(), nuls.data() + nuls.size()), nuls.size());

    const std::string names = std::string(40, 'x') + "REPORT";
    const char* const end = names.data() + names.size();
    EXPECT_EQ(findBytes(names.data(), end, "REPORT"), end - 6);
    EXPECT_EQ(findBytes(names.data(), end - 1, "REPORT"), nullptr);
    EXPECT_EQ(findBytes(names.data(), end, "REPORTS"), nullptr);
    EXPECT_EQ(findBytes(names.data(), end, "T"), end - 1);
}
