#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "search/longdateparser.h"

namespace mellowby::search {

// The days of a catalog's date texts, each distinct text read once: a catalog holds a date text
// for every file but few distinct ones, and reading one through ICU costs microseconds.
class DateTextDays {
public:
    DateTextDays() = default;
    explicit DateTextDays(const std::string& localeName);

    // Days since 1970-01-01 of the day the text names, or nothing when it names none.
    std::optional<std::int64_t> dayOf(std::string_view text);

private:
    static constexpr std::size_t kMostKept = 1 << 16;

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view> {}(text); }
    };

    LongDateParser m_parser;
    std::unordered_map<std::string, std::optional<std::int64_t>, Hash, std::equal_to<>> m_days;
    // Files of one folder mostly share their day: the last text is checked first.
    std::string m_lastText;
    std::optional<std::int64_t> m_lastDay;
    bool m_haveLast = false;
};

} // namespace mellowby::search
