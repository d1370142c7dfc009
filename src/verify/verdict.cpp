#include "verify/verdict.h"

#include <algorithm>

#include "platform/paths.h"

namespace mellowby::verify {

namespace {

constexpr std::array<std::string_view, kVerdictCount> kTexts = { "完好", "损坏", "已修改", "缺失", "新增", "无法读取" };

} // namespace

std::string_view verdictText(Verdict verdict)
{
    return kTexts.at(static_cast<std::size_t>(verdict));
}

VerdictRow rowBelow(std::string_view below, Verdict verdict, const std::string& root, std::string detail)
{
    return { std::string(below.substr(below.rfind('/') + 1)), verdict, platform::joinPath(root, below.substr(1)),
        std::move(detail) };
}

bool VerdictCounts::allOk() const
{
    return std::ranges::all_of(counts.begin() + 1, counts.end(), [](std::uint64_t count) { return count == 0; });
}

std::string VerdictCounts::text() const
{
    std::string text;
    for (std::size_t i = 0; i < kVerdictCount; ++i)
        text.append(i == 0 ? "" : "，").append(kTexts.at(i)).append(" ").append(std::to_string(counts.at(i)));
    return text;
}

} // namespace mellowby::verify
