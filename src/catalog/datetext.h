#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class DateFormat;
U_NAMESPACE_END

namespace mellowby::catalog {

// The calendar day of a creation time (seconds since 1970 UTC), taken in UTC: a catalog shows the
// date the file system stores, whatever the time zone of the machine that scans it.
std::chrono::sys_days fileTimeToDate(std::int64_t secondsSinceEpoch);

// Writes dates in the long form of a locale ("2004年3月15日" for zh_CN, "March 15, 2004" for en_US).
class DateFormatter {
public:
    explicit DateFormatter(const std::string& localeName);
    ~DateFormatter();
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    // The locale the user chose for dates (app::userLocaleName of LC_TIME).
    static std::string userLocaleName();

    // UTF-8 long date of the day.
    std::string longDate(std::chrono::sys_days day) const;

private:
    std::unique_ptr<icu::DateFormat> m_format;
};

} // namespace mellowby::catalog
