#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "search/queryparser.h"
#include "search/queryvalues.h"

namespace mellowby::search {
namespace {

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = kKiB * 1024;
constexpr std::uint64_t kGiB = kMiB * 1024;

// A tree in a line: all(...), any(...), not(...) around the leaves; a leaf that heeds letter case
// shows "=" where the others show ":".
std::string shown(const QueryNode& node)
{
    using Kind = QueryNode::Kind;
    const std::string mark = node.caseSensitive ? "=" : ":";
    const auto joined = [](const std::vector<std::string>& texts) {
        std::string text;
        for (const auto& each : texts)
            text += (text.empty() ? "" : ",") + each;
        return text;
    };
    std::vector<std::string> parts;
    for (const QueryNode& child : node.children)
        parts.push_back(shown(child));
    switch (node.kind) {
    case Kind::All:
        return "all(" + joined(parts) + ")";
    case Kind::Any:
        return "any(" + joined(parts) + ")";
    case Kind::Not:
        return "not(" + joined(parts) + ")";
    case Kind::NameHolds:
        return "name" + mark + node.text;
    case Kind::PathHolds:
        return "path" + mark + node.text;
    case Kind::NameMatches:
        return "regex" + mark + node.text;
    case Kind::ExtensionIs:
        return "ext[" + joined(node.texts) + "]";
    case Kind::CatalogIs:
        return "in[" + joined(node.texts) + "]";
    case Kind::IsFolder:
        return "folder";
    case Kind::InArchive:
        return "inarchive";
    case Kind::SizeIn:
        return "size";
    case Kind::ModifiedIn:
        return "dm";
    case Kind::Always:
    case Kind::Never:
        break;
    }
    return "?";
}

std::string treeOf(const std::string& query)
{
    const auto parsed = parseQuery(query);
    return parsed ? shown(*parsed) : "error: " + parsed.error().text();
}

TEST(QueryParser, TermsOperatorsAndGroups)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "photo", "name:PHOTO" },
        // | binds closer than the blank, ! closer than both.
        { "photo jpg|png", "all(name:PHOTO,any(name:JPG,name:PNG))" },
        { "a OR b NOT c", "all(any(name:A,name:B),not(name:C))" },
        { "!(a b) | c", "any(not(all(name:A,name:B)),name:C)" },
        { "(a (b|c))", "all(name:A,any(name:B,name:C))" },
        { "!!a", "not(not(name:A))" },
        // Quotes: blanks and operators are text inside them, a quote is written twice, and a quoted
        // part joins what touches it.
        { R"("a b" "say ""hi""" x"|"y)", R"(all(name:A B,name:SAY "HI",name:X|Y))" },
        { R"("OR" or not "ext:jpg")", "all(name:OR,name:OR,name:NOT,name:EXT:JPG)" },
        // A ) closes a group only when the word opened none; a word may hold ! and (.
        { "photo(1).jpg wow!", "all(name:PHOTO(1).JPG,name:WOW!)" },
        { "(photo(1))", "name:PHOTO(1)" },
        { "a\xE3\x80\x80"
          "b\tc\nd",
            "all(name:A,name:B,name:C,name:D)" },
        { "straße Ǆ", "all(name:STRASSE,name:Ǆ)" },
        // case: holds for the term or the group after it.
        { "case:Ab straße", "all(name=Ab,name:STRASSE)" },
        { "case:(Ab | path:Cd) regex:x", "all(any(name=Ab,path=Cd),regex:x)" },
        { "CASE:!x", "not(name=x)" },
        { "ext:.jpg;PNG,gif Ext:tar.gz", "all(ext[JPG,PNG,GIF],ext[TAR.GZ])" },
        { "in:disc*;?x folder: folder:Sub", "all(in[DISC*,?X],folder,all(folder,name:SUB))" },
        { "inarchive: !inarchive:Trip", "all(inarchive,not(all(inarchive,name:TRIP)))" },
        { R"q(path:"Program Files (x86)" path:/a|b)q", "all(path:PROGRAM FILES (X86),any(path:/A,name:B))" },
        // In a regular expression | and parentheses are its own; a ) it did not open ends it.
        { "regex:(a|b)c", "regex:(a|b)c" },
        { "(regex:(a|b) x)", "all(regex:(a|b),name:X)" },
        { R"q(regex:[)]\)x regex:"a b")q", R"q(all(regex:[)]\)x,regex:a b))q" },
    };
    for (const auto& [query, tree] : cases)
        EXPECT_EQ(treeOf(query), tree) << query;
}

TEST(QueryParser, SizesInBytes)
{
    const auto sizes = [](const std::string& query) -> std::optional<SizeRange> {
        const auto parsed = parseQuery("size:" + query);
        return parsed ? std::optional(parsed->sizes) : std::nullopt;
    };
    EXPECT_EQ(sizes(">700mb"), (SizeRange { 700 * kMiB + 1, kMost }));
    EXPECT_EQ(sizes(">=700MB"), (SizeRange { 700 * kMiB, kMost }));
    EXPECT_EQ(sizes("1mb..4gb"), (SizeRange { kMiB, 4 * kGiB }));
    EXPECT_EQ(sizes("<=12kb"), (SizeRange { 0, 12 * kKiB }));
    EXPECT_EQ(sizes("<12k"), (SizeRange { 0, 12 * kKiB - 1 }));
    EXPECT_EQ(sizes("empty"), (SizeRange { 0, 0 }));
    EXPECT_EQ(sizes("=4096"), (SizeRange { 4096, 4096 }));
    EXPECT_EQ(sizes("1.5kb"), (SizeRange { 1536, 1536 }));
    EXPECT_EQ(sizes("0.000001tb"), (SizeRange { 1099511, 1099511 }));
    EXPECT_EQ(sizes("..4kb"), (SizeRange { 0, 4 * kKiB }));
    EXPECT_EQ(sizes("2kb.."), (SizeRange { 2 * kKiB, kMost }));
    EXPECT_EQ(sizes("16777215tb"), (SizeRange { 16777215 * kGiB * kKiB, 16777215 * kGiB * kKiB }));
    // Nothing is smaller than nothing, nor bigger than the biggest size.
    EXPECT_EQ(sizes("<0"), (SizeRange { 1, 0 }));
    EXPECT_EQ(sizes(">18446744073709551615"), (SizeRange { 1, 0 }));
    for (const char* wrong : { "", "16777216tb", "1.mb", ".5mb", "1.1234567kb", "5xb", "..", "-1", "> 1" })
        EXPECT_FALSE(sizes(wrong)) << wrong;
}

TEST(QueryParser, DaysOfYearsMonthsAndDays)
{
    const auto days = [](const std::string& query) -> std::optional<DayRange> {
        const auto parsed = parseQuery("dm:" + query);
        return parsed ? std::optional(parsed->days) : std::nullopt;
    };
    const auto day = [](int year, unsigned month, unsigned of) { return dayOfDate(year, month, of); };
    constexpr DayRange kAll;
    EXPECT_EQ(day(1970, 1, 1), 0);
    EXPECT_EQ(dateOfDay(day(2004, 2, 29)).day, 29u);
    EXPECT_EQ(days("2004"), (DayRange { day(2004, 1, 1), day(2004, 12, 31) }));
    EXPECT_EQ(days("2004-02"), (DayRange { day(2004, 2, 1), day(2004, 2, 29) }));
    EXPECT_EQ(days("2004-03-15"), (DayRange { day(2004, 3, 15), day(2004, 3, 15) }));
    EXPECT_EQ(days("2004/3/5"), (DayRange { day(2004, 3, 5), day(2004, 3, 5) }));
    EXPECT_EQ(days("2003..2005"), (DayRange { day(2003, 1, 1), day(2005, 12, 31) }));
    EXPECT_EQ(days("2003-06..2003-06-10"), (DayRange { day(2003, 6, 1), day(2003, 6, 10) }));
    EXPECT_EQ(days(">=2020-01-01"), (DayRange { day(2020, 1, 1), kAll.last }));
    EXPECT_EQ(days(">2004"), (DayRange { day(2005, 1, 1), kAll.last }));
    EXPECT_EQ(days("<2004-03"), (DayRange { kAll.first, day(2004, 2, 29) }));
    EXPECT_EQ(days("<=2004-03"), (DayRange { kAll.first, day(2004, 3, 31) }));
    EXPECT_EQ(days("..2004"), (DayRange { kAll.first, day(2004, 12, 31) }));
    for (const char* wrong : { "", "04", "2004-13", "2004-02-30", "2003-02-29", "0000", "2004-", "2004-1-2-3", "x" })
        EXPECT_FALSE(days(wrong)) << wrong;
}

TEST(QueryParser, CatalogPatterns)
{
    EXPECT_TRUE(fitsPattern("DISC*", "DISC 1"));
    EXPECT_TRUE(fitsPattern("*", ""));
    EXPECT_TRUE(fitsPattern("?盘*2", "光盘 2"));
    EXPECT_TRUE(fitsPattern("A*B*C", "AXXBYYBZC"));
    EXPECT_FALSE(fitsPattern("A*B*C", "AXXBYYBZ"));
    EXPECT_FALSE(fitsPattern("?", "光盘"));
    EXPECT_FALSE(fitsPattern("DISC", "DISC 1"));
}

// Where a query cannot be read: the column (in characters) and what was expected there.
TEST(QueryParser, FaultsNameTheirPlace)
{
    const std::string nested(kMaxQueryDepth + 1, '(');
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "", "第 1 列：查询是空的，应为至少一个条件：文件名的一部分，或 ext:、size:、dm: 等" },
        { "(a", "第 3 列：缺少与第 1 列的“(”配对的“)”" },
        { "照片 (a (b)", "第 10 列：缺少与第 4 列的“(”配对的“)”" },
        { "a )", "第 3 列：多出的“)”，前面没有与之配对的“(”" },
        { "| a", "第 1 列：“|”之前应为条件" },
        { "a OR OR b", "第 6 列：“OR”之后应为条件，却是“OR”" },
        { "a |", "第 4 列：查询在此结束，“|”之后应为条件" },
        { "(a OR )", "第 7 列：“OR”之后应为条件，却是“)”" },
        { "()", "第 2 列：应为条件，却是“)”" },
        { "照片 !", "第 5 列：查询在此结束，“!”之后应为条件" },
        { "NOT", "第 4 列：查询在此结束，“NOT”之后应为条件" },
        { "case:", "第 6 列：查询在此结束，“case:”之后应为条件" },
        { R"(a "b)", "第 3 列：这个引号“\"”没有配对的另一个引号" },
        { R"("")", "第 1 列：引号之间是空的，应为要查找的文字" },
        { "照片 sise:>1mb",
            "第 4 列：未知的条件“sise:”；可用 "
            "ext:、size:、dm:、path:、regex:、case:、in:、folder:、inarchive:，要查找含冒号的文字请加引号" },
        { "size:>x", "第 6 列：size: 之后应为大小，例如 >700mb、1mb..4gb、<=12kb 或 empty" },
        { "size:4gb..1mb", "第 6 列：size: 的范围下限大于上限" },
        { "dm:2004-02-30", "第 4 列：dm: 之后应为日期，例如 2004、2004-03、2004-03-15、2003..2005 或 >=2020-01-01" },
        { "dm:2005..2003", "第 4 列：dm: 的范围开始晚于结束" },
        { "ext:;.", "第 5 列：ext: 之后应为扩展名，例如 ext:jpg;png" },
        { "in:", "第 4 列：in: 之后应为目录的名称，可含 * 和 ?，例如 in:光盘*" },
        { "path:", "第 6 列：path: 之后应为位置的一部分" },
        { "regex: x", "第 7 列：regex: 之后应为正则表达式" },
        // Where ICU found the fault, which may be the end of the expression.
        { "regex:ab[c", "第 11 列：正则表达式有误：缺少“]”" },
        { "regex:a{2,1}", "第 13 列：正则表达式有误：重复次数 {} 有误" },
        { "regex:(a", "第 9 列：正则表达式有误：括号不配对" },
        // Columns in characters whatever ICU counts: a character beyond 16 bits, an escape before a
        // parenthesis that ICU places two past the end.
        { "regex:😀(", "第 8 列：正则表达式有误：括号不配对" },
        { "regex:\\a(", "第 10 列：正则表达式有误：括号不配对" },
        { nested + "a", "第 201 列：括号、“!”或 case: 套得太深，最多 200 层" },
        { std::string(300, '!') + "a", "第 201 列：括号、“!”或 case: 套得太深，最多 200 层" },
    };
    for (const auto& [query, fault] : cases)
        EXPECT_EQ(treeOf(query), "error: " + fault) << query;
}

} // namespace
} // namespace mellowby::search
