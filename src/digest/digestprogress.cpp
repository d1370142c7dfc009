#include "digest/digestprogress.h"

#include <array>
#include <cstdio>

namespace mellowby::digest {

namespace {

// 1234567 as "1,234,567".
std::string groupedNumber(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, 1, ',');
    return digits;
}

std::string durationText(std::chrono::seconds left)
{
    const auto seconds = left.count();
    if (seconds < 60)
        return "约 " + std::to_string(seconds) + " 秒";
    const auto minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return "约 " + std::to_string(minutes) + " 分钟";
    std::string text = "约 " + std::to_string(minutes / 60) + " 小时";
    if (minutes % 60 != 0)
        text += " " + std::to_string(minutes % 60) + " 分钟";
    return text;
}

} // namespace

std::string byteSizeText(std::uint64_t bytes)
{
    static constexpr std::array<const char*, 5> kUnits { "KB", "MB", "GB", "TB", "PB" };
    if (bytes < 1024)
        return std::to_string(bytes) + " 字节";
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    // 1023.96 MB would print as "1024 MB": the next unit takes over where the rounding gets there.
    while (value >= 1023.5 && unit + 1 < kUnits.size()) {
        value /= 1024;
        ++unit;
    }
    std::array<char, 32> text {};
    if (value < 9.95)
        (void)std::snprintf(text.data(), text.size(), "%.1f %s", value, kUnits[unit]);
    else
        (void)std::snprintf(text.data(), text.size(), "%.0f %s", value, kUnits[unit]);
    return text.data();
}

std::string progressText(const DigestProgress& progress)
{
    std::string text = "已读取 " + groupedNumber(progress.filesDone) + " / " + groupedNumber(progress.filesTotal)
        + " 个文件" + (progress.totalsFinal ? "" : "（仍在查找）") + "，" + byteSizeText(progress.bytesDone) + " / "
        + byteSizeText(progress.bytesTotal);
    if (progress.bytesPerSecond > 0)
        text += "，每秒 " + byteSizeText(static_cast<std::uint64_t>(progress.bytesPerSecond));
    if (progress.timeLeft)
        text += "，还需" + durationText(*progress.timeLeft);
    return text;
}

} // namespace mellowby::digest
