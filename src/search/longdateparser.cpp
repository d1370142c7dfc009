#include "search/longdateparser.h"

#include <cmath>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/parsepos.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "catalog/datetext.h"

namespace mellowby::search {

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

std::unique_ptr<icu::DateFormat> strictLongDate(const char* localeName)
{
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateInstance(icu::DateFormat::kLong, icu::Locale(localeName)));
    if (format) {
        format->setLenient(false);
        // The writer takes days in UTC; reading them in the same zone gives the same day.
        format->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
    }
    return format;
}

} // namespace

LongDateParser::LongDateParser()
    : LongDateParser(catalog::DateFormatter::userLocaleName())
{
}

LongDateParser::LongDateParser(const std::string& localeName)
{
    for (const char* name : { localeName.c_str(), "zh_CN", "en_US" }) {
        if (auto format = strictLongDate(name))
            m_formats.push_back(std::move(format));
    }
}

LongDateParser::~LongDateParser() = default;

std::optional<std::int64_t> LongDateParser::dayOf(std::string_view text) const
{
    if (text.empty() || text.size() > 256)
        return std::nullopt;
    const icu::UnicodeString unicode
        = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    for (const auto& format : m_formats) {
        icu::ParsePosition position(0);
        const UDate date = format->parse(unicode, position);
        if (position.getErrorIndex() < 0 && position.getIndex() == unicode.length() && std::isfinite(date))
            return static_cast<std::int64_t>(std::floor(date / kMillisecondsPerDay));
    }
    return std::nullopt;
}

} // namespace mellowby::search
