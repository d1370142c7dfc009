#include "cli/factcolumns.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace mellowby::cli {

std::vector<RecordField> factFields()
{
    return { { "bytes", "字节数" }, { "modified", "修改时间" } };
}

std::string localTimeText(std::int64_t nanoseconds)
{
    constexpr std::int64_t kPerSecond = 1'000'000'000;
    // Whole seconds rounded down, so that a time before 1970 keeps a positive fraction.
    std::int64_t seconds = nanoseconds / kPerSecond;
    std::int64_t fraction = nanoseconds % kPerSecond;
    if (fraction < 0) {
        fraction += kPerSecond;
        --seconds;
    }
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local {};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    const long offset = local.tm_gmtoff;
    const long offsetMinutes = std::labs(offset) / 60;
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09lld%c%02ld:%02ld",
        local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
        static_cast<long long>(fraction), offset < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string {};
}

FactTexts factTexts(const std::optional<names::FileFacts>& facts)
{
    if (!facts)
        return {};
    return { std::to_string(facts->size), localTimeText(facts->modifiedNs) };
}

} // namespace mellowby::cli
