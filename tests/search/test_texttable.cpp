// The table of texts the file list and the finder of duplicates share.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "search/texttable.h"

namespace mellowby::search {
namespace {

// Past many doublings of its slots and many blocks, one text longer than a block among them: every
// text keeps its number and the view first given of it, an equal text gets the same number, and so
// does the empty text.
TEST(TextTable, NumbersAndViewsStayAsTheTableGrows)
{
    constexpr std::uint32_t kTexts = 100000;
    const auto textOf = [](std::uint32_t n) {
        return n == 777 ? std::string(70000, 'x') : n == 0 ? std::string() : "相册 " + std::to_string(n);
    };
    TextTable table;
    std::vector<std::string_view> views;
    for (std::uint32_t n = 0; n < kTexts; ++n) {
        ASSERT_EQ(table.intern(textOf(n)), n);
        views.push_back(table.at(n));
    }
    ASSERT_EQ(table.size(), kTexts);
    std::size_t wrong = 0;
    TextTable::Recent recent;
    for (std::uint32_t n = kTexts; n-- > 0;) {
        const std::string text = textOf(n);
        wrong += views[n] == text && table.at(n) == text && table.intern(text) == n && table.intern(text, recent) == n
                && table.intern(text, recent) == n
            ? 0
            : 1;
    }
    EXPECT_EQ(wrong, 0U);
    EXPECT_EQ(table.size(), kTexts);
    table.clear();
    EXPECT_EQ(table.intern("相册 5"), 0U);
}

} // namespace
} // namespace mellowby::search
