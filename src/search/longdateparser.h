#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class DateFormat;
U_NAMESPACE_END

namespace mellowby::search {

// Reads back the creation dates the program writes: the long date of the locale that wrote
// them, and the Chinese and American forms whatever the locale, since catalogs travel between
// machines. Strict: a text that is only almost a date stays a text.
class LongDateParser {
public:
    // The user's date locale first.
    LongDateParser();
    explicit LongDateParser(const std::string& localeName);
    ~LongDateParser();
    LongDateParser(const LongDateParser&) = delete;
    LongDateParser& operator=(const LongDateParser&) = delete;

    // Days since 1970-01-01, or nothing when no form reads the whole text.
    std::optional<std::int64_t> dayOf(std::string_view text) const;

private:
    std::vector<std::unique_ptr<icu::DateFormat>> m_formats;
};

} // namespace mellowby::search
