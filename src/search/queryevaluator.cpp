#include "search/queryevaluator.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <limits>

#include <unicode/regex.h>

#include "catalog/textutils.h"
#include "search/datetextdays.h"
#include "search/queryvalues.h"

namespace mellowby::search {

namespace {

constexpr std::int64_t kMinNs = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMaxNs = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
// How long ICU may look for a regular expression in one name: a pattern that backtracks without
// end gives up there (the name does not match) instead of holding the search.
constexpr std::int32_t kRegexTimeLimit = 200;

// The instant local midnight begins day, in nanoseconds since 1970 UTC (clamped to what fits).
std::int64_t localMidnightNs(std::int64_t day)
{
    // Years outside 1..9999 lie far beyond what nanoseconds since 1970 can hold either way.
    if (day < dayOfDate(1, 1, 1))
        return kMinNs;
    if (day > dayOfDate(9999, 12, 31))
        return kMaxNs;
    const CivilDate date = dateOfDay(day);
    std::tm local {};
    local.tm_year = date.year - 1900;
    local.tm_mon = static_cast<int>(date.month) - 1;
    local.tm_mday = static_cast<int>(date.day);
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds > kMaxNs / kNsPerSecond)
        return kMaxNs;
    if (seconds < kMinNs / kNsPerSecond)
        return kMinNs;
    return static_cast<std::int64_t>(seconds) * kNsPerSecond;
}

// The sizes a size text stands for: "n KB" is the size rounded up to whole kilobytes.
std::optional<SizeRange> sizesOfText(std::string_view text)
{
    if (text.size() < 3 || (text.substr(text.size() - 2) != "KB" && text.substr(text.size() - 2) != "kb"))
        return std::nullopt;
    std::uint64_t kilobytes = 0;
    const char* const end = text.data() + text.size() - 2;
    const auto [stop, error] = std::from_chars(text.data(), end, kilobytes);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    if (kilobytes == 0)
        return SizeRange { 0, 0 };
    constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t high = kilobytes > kMost / 1024 ? kMost : kilobytes * 1024;
    const std::uint64_t low = kilobytes - 1 > kMost / 1024 ? kMost : (kilobytes - 1) * 1024 + 1;
    return SizeRange { low, high };
}

bool holdsText(std::string_view in, std::string_view text)
{
    return in.find(text) != std::string_view::npos;
}

} // namespace

QueryEvaluator::QueryEvaluator(QueryNode query, DateTextDays& dates, const IFileFacts* facts)
    : m_query(std::move(query))
    , m_root(prepare(m_query))
    , m_dates(dates)
    , m_facts(facts)
{
}

QueryEvaluator::~QueryEvaluator()
{
    utext_close(&m_text);
}

// NOLINTNEXTLINE(misc-no-recursion): as deep as the query's tree, which the parser bounds
QueryEvaluator::Step QueryEvaluator::prepare(const QueryNode& node) const
{
    Step step;
    step.node = &node;
    for (const QueryNode& child : node.children)
        step.children.push_back(prepare(child));
    if (node.kind == QueryNode::Kind::ModifiedIn) {
        step.fromNs = node.days.first == DayRange {}.first ? kMinNs : localMidnightNs(node.days.first);
        const std::int64_t after = node.days.last == DayRange {}.last ? kMaxNs : localMidnightNs(node.days.last + 1);
        // A last day before what nanoseconds since 1970 can hold ends before every time.
        step.toNs = after == kMaxNs || after == kMinNs ? after : after - 1;
    } else if (node.kind == QueryNode::Kind::NameMatches) {
        UParseError where {};
        UErrorCode status = U_ZERO_ERROR;
        const icu::UnicodeString pattern
            = icu::UnicodeString::fromUTF8(icu::StringPiece(node.text.data(), static_cast<int32_t>(node.text.size())));
        step.pattern.reset(
            icu::RegexPattern::compile(pattern, node.caseSensitive ? 0 : UREGEX_CASE_INSENSITIVE, where, status));
        if (U_SUCCESS(status))
            step.matcher.reset(step.pattern->matcher(status));
        if (U_FAILURE(status))
            step.matcher.reset();
        else
            step.matcher->setTimeLimit(kRegexTimeLimit, status);
    }
    return step;
}

bool QueryEvaluator::holds(const QueryRow& row)
{
    m_row = &row;
    m_known = 0;
    return holds(m_root);
}

std::optional<names::FileFacts> QueryEvaluator::factsOfLastRow()
{
    return m_row != nullptr ? facts() : std::nullopt;
}

// NOLINTNEXTLINE(misc-no-recursion): as deep as the query's tree, which the parser bounds
bool QueryEvaluator::holds(Step& step)
{
    const QueryNode& node = *step.node;
    switch (node.kind) {
    case QueryNode::Kind::All:
        return std::ranges::all_of(
            step.children, [this](Step& child) { return holds(child); }); // NOLINT(misc-no-recursion)
    case QueryNode::Kind::Any:
        return std::ranges::any_of(
            step.children, [this](Step& child) { return holds(child); }); // NOLINT(misc-no-recursion)
    case QueryNode::Kind::Not:
        return !holds(step.children.front());
    case QueryNode::Kind::Always:
        return true;
    case QueryNode::Kind::Never:
        return false;
    case QueryNode::Kind::NameHolds:
        return holdsText(node.caseSensitive ? m_row->name : upperName(), node.text);
    case QueryNode::Kind::PathHolds:
        return holdsText(node.caseSensitive ? location() : upperLocation(), node.text);
    case QueryNode::Kind::ExtensionIs:
        return std::ranges::find(node.texts, extension()) != node.texts.end();
    case QueryNode::Kind::SizeIn:
        return sizeFits(node.sizes);
    case QueryNode::Kind::ModifiedIn:
        return dateFits(step);
    case QueryNode::Kind::NameMatches:
        return nameMatches(step);
    case QueryNode::Kind::CatalogIs: {
        catalog::UpperCaser upper;
        const std::string_view catalog = upper.upper(m_row->catalog);
        return std::ranges::any_of(
            node.texts, [catalog](const std::string& pattern) { return fitsPattern(pattern, catalog); });
    }
    case QueryNode::Kind::IsFolder:
        return m_row->folder;
    case QueryNode::Kind::InArchive:
        return m_row->inArchive;
    }
    return false;
}

std::string_view QueryEvaluator::upperName()
{
    if ((m_known & UpperName) == 0) {
        m_upperName = m_nameUpper.upper(m_row->name);
        m_known |= UpperName;
    }
    return m_upperName;
}

std::string_view QueryEvaluator::location()
{
    if ((m_known & Location) == 0) {
        m_location.assign(m_row->directory).append(m_row->name);
        m_known |= Location;
    }
    return m_location;
}

std::string_view QueryEvaluator::upperLocation()
{
    if ((m_known & UpperLocation) == 0) {
        m_upperLocation = m_locationUpper.upper(location());
        m_known |= UpperLocation;
    }
    return m_upperLocation;
}

std::string_view QueryEvaluator::extension()
{
    if ((m_known & Extension) == 0) {
        m_extension = catalog::getFileExt(m_row->name, m_extensionUpper);
        m_known |= Extension;
    }
    return m_extension;
}

const std::optional<names::FileFacts>& QueryEvaluator::facts()
{
    if ((m_known & Facts) == 0) {
        m_rowFacts = m_facts != nullptr && !m_row->folder ? m_facts->factsOf(m_row->file) : std::nullopt;
        m_known |= Facts;
    }
    return m_rowFacts;
}

bool QueryEvaluator::sizeFits(const SizeRange& sizes)
{
    if (const auto& exact = facts())
        return sizes.low <= exact->size && exact->size <= sizes.high;
    const auto range = sizesOfText(m_row->size);
    return range && range->low <= sizes.high && sizes.low <= range->high;
}

bool QueryEvaluator::dateFits(const Step& step)
{
    if (const auto& exact = facts())
        return step.fromNs <= exact->modifiedNs && exact->modifiedNs <= step.toNs;
    if (m_row->folder)
        return false;
    const auto day = m_dates.dayOf(m_row->date);
    return day && step.node->days.first <= *day && *day <= step.node->days.last;
}

bool QueryEvaluator::nameMatches(Step& step)
{
    if (!step.matcher || m_row->name.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    UErrorCode status = U_ZERO_ERROR;
    utext_openUTF8(&m_text, m_row->name.data(), static_cast<std::int64_t>(m_row->name.size()), &status);
    if (U_FAILURE(status))
        return false;
    step.matcher->reset(&m_text);
    const bool found = step.matcher->find(status) != 0;
    return U_SUCCESS(status) && found;
}

} // namespace mellowby::search
