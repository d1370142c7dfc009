#include "catalog/datetext.h"

#include <stdexcept>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "app/userlocale.h"

namespace mellowby::catalog {

std::chrono::sys_days fileTimeToDate(std::int64_t secondsSinceEpoch)
{
    return std::chrono::floor<std::chrono::days>(
        std::chrono::sys_seconds { std::chrono::seconds { secondsSinceEpoch } });
}

DateFormatter::DateFormatter(const std::string& localeName)
    : m_format(icu::DateFormat::createDateInstance(icu::DateFormat::kLong, icu::Locale(localeName.c_str())))
{
    if (!m_format)
        throw std::runtime_error("no long date format for locale " + localeName);
    // Days are computed in UTC, so the formatter must not shift them into the local zone.
    m_format->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
}

DateFormatter::~DateFormatter() = default;

std::string DateFormatter::userLocaleName()
{
    return app::userLocaleName("LC_TIME");
}

std::string DateFormatter::longDate(std::chrono::sys_days day) const
{
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(day.time_since_epoch()).count();
    icu::UnicodeString text;
    m_format->format(static_cast<UDate>(millis), text);
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

} // namespace mellowby::catalog
