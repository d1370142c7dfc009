#include "search/queryvalues.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <limits>
#include <memory>

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "catalog/uppercaser.h"

namespace mellowby::search {

namespace {

constexpr std::uint64_t kMaxSize = std::numeric_limits<std::uint64_t>::max();
constexpr std::string_view kSizeExample = "size: 之后应为大小，例如 >700mb、1mb..4gb、<=12kb 或 empty";
constexpr std::string_view kDayExample = "dm: 之后应为日期，例如 2004、2004-03、2004-03-15、2003..2005 或 >=2020-01-01";

enum class Comparison { Equal, Greater, GreaterOrEqual, Less, LessOrEqual };

// The comparison value begins with, taken off it.
Comparison takeComparison(std::string_view& value)
{
    constexpr std::array<std::pair<std::string_view, Comparison>, 5> kOperators { {
        { ">=", Comparison::GreaterOrEqual },
        { "<=", Comparison::LessOrEqual },
        { ">", Comparison::Greater },
        { "<", Comparison::Less },
        { "=", Comparison::Equal },
    } };
    for (const auto& [text, comparison] : kOperators) {
        if (value.starts_with(text)) {
            value.remove_prefix(text.size());
            return comparison;
        }
    }
    return Comparison::Equal;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Bytes in a unit, or 0 for no unit.
std::uint64_t unitBytes(std::string_view unit)
{
    std::string lower(unit);
    for (char& c : lower)
        c = lowerAscii(c);
    constexpr std::array<std::pair<std::string_view, unsigned>, 10> kUnits { {
        { "", 0 },
        { "b", 0 },
        { "k", 1 },
        { "kb", 1 },
        { "m", 2 },
        { "mb", 2 },
        { "g", 3 },
        { "gb", 3 },
        { "t", 4 },
        { "tb", 4 },
    } };
    for (const auto& [name, power] : kUnits) {
        if (name == lower)
            return std::uint64_t { 1 } << (10 * power);
    }
    return 0;
}

// A size such as 700mb or 1.5gb, in bytes (a fraction of a byte dropped).
std::optional<std::uint64_t> sizeOf(std::string_view text)
{
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    std::size_t fractionEnd = digits;
    if (digits < text.size() && text[digits] == '.') {
        ++fractionEnd;
        while (fractionEnd < text.size() && text[fractionEnd] >= '0' && text[fractionEnd] <= '9')
            ++fractionEnd;
    }
    const std::uint64_t unit = unitBytes(text.substr(fractionEnd));
    const std::string_view fraction = digits < fractionEnd ? text.substr(digits + 1, fractionEnd - digits - 1) : "";
    if (digits == 0 || unit == 0 || fraction.size() > 6 || (digits < fractionEnd && fraction.empty()))
        return std::nullopt;
    std::uint64_t whole = 0;
    if (std::from_chars(text.data(), text.data() + digits, whole).ec != std::errc())
        return std::nullopt;
    std::uint64_t parts = 0;
    std::uint64_t scale = 1;
    for (const char c : fraction) {
        parts = parts * 10 + static_cast<std::uint64_t>(c - '0');
        scale *= 10;
    }
    // At most six digits of fraction, so that parts * unit stays below 2^60.
    const std::uint64_t fractionBytes = parts * unit / scale;
    if (whole > (kMaxSize - fractionBytes) / unit)
        return std::nullopt;
    return whole * unit + fractionBytes;
}

// The first and last day of a year, a month or a day written as 2004, 2004-03 or 2004-03-15.
std::optional<DayRange> daysOf(std::string_view text)
{
    std::array<unsigned, 3> parts {};
    std::size_t count = 0;
    std::size_t at = 0;
    while (count < parts.size()) {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 4)
            ++at;
        const std::size_t length = at - start;
        if ((count == 0 && length != 4) || (count > 0 && (length == 0 || length > 2)))
            return std::nullopt;
        (void)std::from_chars(text.data() + start, text.data() + at, parts[count]);
        ++count;
        if (at == text.size())
            break;
        if (text[at] != '-' && text[at] != '/' && text[at] != '.')
            return std::nullopt;
        ++at;
    }
    if (at != text.size() || parts[0] == 0)
        return std::nullopt;
    const auto year = static_cast<int>(parts[0]);
    if (count == 1)
        return DayRange { dayOfDate(year, 1, 1), dayOfDate(year, 12, 31) };
    if (parts[1] < 1 || parts[1] > 12)
        return std::nullopt;
    const std::chrono::year_month_day_last monthEnd { std::chrono::year { year } / std::chrono::month { parts[1] }
        / std::chrono::last };
    const unsigned lastDay = static_cast<unsigned>(monthEnd.day());
    if (count == 2)
        return DayRange { dayOfDate(year, parts[1], 1), dayOfDate(year, parts[1], lastDay) };
    if (parts[2] < 1 || parts[2] > lastDay)
        return std::nullopt;
    const std::int64_t day = dayOfDate(year, parts[1], parts[2]);
    return DayRange { day, day };
}

// value split at its "..", when it has one.
std::optional<std::pair<std::string_view, std::string_view>> rangeEnds(std::string_view value)
{
    const std::size_t dots = value.find("..");
    if (dots == std::string_view::npos)
        return std::nullopt;
    return std::pair { value.substr(0, dots), value.substr(dots + 2) };
}

std::vector<std::string_view> splitAt(std::string_view value, std::string_view separators)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = value.find_first_of(separators, start);
        parts.push_back(value.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

std::string regexProblem(UErrorCode status)
{
    switch (status) {
    case U_REGEX_MISMATCHED_PAREN:
        return "括号不配对";
    case U_REGEX_MISSING_CLOSE_BRACKET:
        return "缺少“]”";
    case U_REGEX_BAD_ESCAPE_SEQUENCE:
        return "转义序列有误";
    case U_REGEX_BAD_INTERVAL:
    case U_REGEX_MAX_LT_MIN:
        return "重复次数 {} 有误";
    case U_REGEX_INVALID_RANGE:
        return "字符范围有误";
    case U_REGEX_PROPERTY_SYNTAX:
        return "字符属性有误";
    default:
        return std::string("语法错误（") + u_errorName(status) + "）";
    }
}

} // namespace

std::int64_t dayOfDate(int year, unsigned month, unsigned day)
{
    const std::chrono::sys_days days { std::chrono::year { year } / std::chrono::month { month }
        / std::chrono::day { day } };
    return days.time_since_epoch().count();
}

CivilDate dateOfDay(std::int64_t day)
{
    const std::chrono::year_month_day date { std::chrono::sys_days { std::chrono::days { day } } };
    return { static_cast<int>(date.year()), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()) };
}

std::expected<SizeRange, std::string> parseSizeValue(std::string_view value)
{
    std::string lower(value);
    for (char& c : lower)
        c = lowerAscii(c);
    if (lower == "empty")
        return SizeRange { 0, 0 };
    if (const auto ends = rangeEnds(value)) {
        const auto low = ends->first.empty() ? std::optional<std::uint64_t>(0) : sizeOf(ends->first);
        const auto high = ends->second.empty() ? std::optional(kMaxSize) : sizeOf(ends->second);
        if (!low || !high || (ends->first.empty() && ends->second.empty()))
            return std::unexpected(std::string(kSizeExample));
        if (*low > *high)
            return std::unexpected("size: 的范围下限大于上限");
        return SizeRange { *low, *high };
    }
    const Comparison comparison = takeComparison(value);
    const auto size = sizeOf(value);
    if (!size)
        return std::unexpected(std::string(kSizeExample));
    switch (comparison) {
    case Comparison::Greater:
        return *size == kMaxSize ? SizeRange { 1, 0 } : SizeRange { *size + 1, kMaxSize };
    case Comparison::GreaterOrEqual:
        return SizeRange { *size, kMaxSize };
    case Comparison::Less:
        return *size == 0 ? SizeRange { 1, 0 } : SizeRange { 0, *size - 1 };
    case Comparison::LessOrEqual:
        return SizeRange { 0, *size };
    case Comparison::Equal:
        break;
    }
    return SizeRange { *size, *size };
}

std::expected<DayRange, std::string> parseDayValue(std::string_view value)
{
    constexpr DayRange kAll;
    if (const auto ends = rangeEnds(value)) {
        const auto first = ends->first.empty() ? std::optional(kAll) : daysOf(ends->first);
        const auto last = ends->second.empty() ? std::optional(kAll) : daysOf(ends->second);
        if (!first || !last || (ends->first.empty() && ends->second.empty()))
            return std::unexpected(std::string(kDayExample));
        if (first->first > last->last)
            return std::unexpected("dm: 的范围开始晚于结束");
        return DayRange { first->first, last->last };
    }
    const Comparison comparison = takeComparison(value);
    const auto days = daysOf(value);
    if (!days)
        return std::unexpected(std::string(kDayExample));
    switch (comparison) {
    case Comparison::Greater:
        return DayRange { days->last + 1, kAll.last };
    case Comparison::GreaterOrEqual:
        return DayRange { days->first, kAll.last };
    case Comparison::Less:
        return DayRange { kAll.first, days->first - 1 };
    case Comparison::LessOrEqual:
        return DayRange { kAll.first, days->last };
    case Comparison::Equal:
        break;
    }
    return *days;
}

std::expected<std::vector<std::string>, std::string> parseExtensions(std::string_view value, catalog::UpperCaser& upper)
{
    std::vector<std::string> types;
    for (std::string_view part : splitAt(value, ";,")) {
        if (part.starts_with('.'))
            part.remove_prefix(1);
        if (!part.empty())
            types.emplace_back(upper.upper(part));
    }
    if (types.empty())
        return std::unexpected("ext: 之后应为扩展名，例如 ext:jpg;png");
    return types;
}

std::expected<std::vector<std::string>, std::string> parseCatalogPatterns(
    std::string_view value, catalog::UpperCaser& upper)
{
    std::vector<std::string> patterns;
    for (const std::string_view part : splitAt(value, ";")) {
        if (!part.empty())
            patterns.emplace_back(upper.upper(part));
    }
    if (patterns.empty())
        return std::unexpected("in: 之后应为目录的名称，可含 * 和 ?，例如 in:光盘*");
    return patterns;
}

bool fitsPattern(std::string_view pattern, std::string_view text)
{
    // The greedy match of wildcards: a * that fails is retried one character further on.
    const auto next = [](std::string_view in, std::size_t at) {
        ++at;
        while (at < in.size() && (static_cast<unsigned char>(in[at]) & 0xC0) == 0x80)
            ++at;
        return at;
    };
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            p = next(pattern, p);
            t = next(text, t);
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            resume = next(text, resume);
            t = resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::optional<RegexFault> regexFault(std::string_view pattern, bool caseSensitive)
{
    UParseError where {};
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString unicode
        = icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<int32_t>(pattern.size())));
    const std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(unicode, caseSensitive ? 0 : UREGEX_CASE_INSENSITIVE, where, status));
    if (U_SUCCESS(status))
        return std::nullopt;
    // ICU counts UTF-16 units and may place a fault further than one past the pattern's end: the
    // offset is made a number of characters, at most one past the last.
    const std::int32_t units = std::clamp(where.offset, 0, unicode.length());
    return RegexFault { static_cast<std::size_t>(unicode.countChar32(0, units)), regexProblem(status) };
}

} // namespace mellowby::search
