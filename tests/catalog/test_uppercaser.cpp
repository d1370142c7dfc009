// The one upper-casing of names against ICU's case map applied to the whole text.

#include <gtest/gtest.h>
#include <string>

#include <unicode/ucasemap.h>
#include <unicode/utf8.h>

#include "catalog/uppercaser.h"

namespace mellowby::catalog {
namespace {

// The text as ICU's case map upper-cases it, or as it is where ICU cannot.
std::string upperedByIcu(UCaseMap* map, const std::string& text)
{
    std::string out(text.size() * 3 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucasemap_utf8ToUpper(
        map, out.data(), static_cast<int32_t>(out.size()), text.data(), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        return text;
    out.resize(static_cast<std::size_t>(length));
    return out;
}

// Every character of the basic plane among ASCII letters and a character without case, characters
// beyond the plane, and bytes that are not UTF-8: as ICU upper-cases the whole text.
TEST(UpperCaser, EveryCharacterAsIcuUpperCasesIt)
{
    UErrorCode status = U_ZERO_ERROR;
    UCaseMap* map = ucasemap_open("", 0, &status);
    ASSERT_TRUE(U_SUCCESS(status));
    UpperCaser upper;
    std::size_t wrong = 0;
    for (UChar32 c = 0x80; c < 0x10000; ++c) {
        if (U_IS_SURROGATE(c))
            continue;
        char bytes[U8_MAX_LENGTH];
        int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, c);
        const std::string text = "ab" + std::string(bytes, static_cast<std::size_t>(length)) + "中c.txt";
        wrong += upper.upper(text) == upperedByIcu(map, text) ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0U);
    for (const std::string text : { "照片\xff.jpg", "年度\xe4\xb8", "\xe4\xb8照片", "𝒜b𐐨.txt", "日本straße",
             "ｆｕｌｌ年", "ǅ", "ΐ照", "\xed\xa0\x80x" })
        EXPECT_EQ(upper.upper(text), upperedByIcu(map, text)) << text;
    EXPECT_EQ(upper.upper("数据备份 photo_2004.JPG"), "数据备份 PHOTO_2004.JPG");
    ucasemap_close(map);
}

} // namespace
} // namespace mellowby::catalog
