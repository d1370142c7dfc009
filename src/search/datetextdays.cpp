#include "search/datetextdays.h"

namespace mellowby::search {

DateTextDays::DateTextDays(const std::string& localeName)
    : m_parser(localeName)
{
}

std::optional<std::int64_t> DateTextDays::dayOf(std::string_view text)
{
    if (m_haveLast && text == m_lastText)
        return m_lastDay;
    const auto found = m_days.find(text);
    if (found != m_days.end()) {
        m_lastDay = found->second;
    } else {
        m_lastDay = m_parser.dayOf(text);
        // A hostile catalog may hold a distinct text for every file: those are read each time.
        if (m_days.size() < kMostKept)
            m_days.emplace(std::string(text), m_lastDay);
    }
    m_lastText.assign(text);
    m_haveLast = true;
    return m_lastDay;
}

} // namespace mellowby::search
