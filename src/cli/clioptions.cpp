#include "cli/clioptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "cli/recordwriter.h"

namespace mellowby::cli {

namespace {

using Taken = std::expected<void, std::string>;

// "tsv、csv 或 json"
std::string alternatives(std::span<const std::string_view> choices)
{
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0)
            text += i + 1 == choices.size() ? " 或 " : "、";
        text += choices[i];
    }
    return text;
}

std::string listed(std::span<const std::string_view> choices)
{
    std::string text;
    for (const std::string_view choice : choices)
        text.append(text.empty() ? "" : "、").append(choice);
    return text;
}

Taken takeFormat(CliOptions& options, const std::string& value, std::span<const std::string_view> choices)
{
    if (std::ranges::find(choices, value) != choices.end()) {
        options.format = value;
        return {};
    }
    if (recordFormatNamed(value))
        return std::unexpected(options.command + " 的格式只能是 " + alternatives(choices) + "。");
    return std::unexpected("未知的输出格式：" + value + "（可用 " + listed(choices) + "）。");
}

Taken takeMinSize(CliOptions& options, const std::string& value, std::span<const std::string_view>)
{
    std::uint64_t kilobytes = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), kilobytes);
    if (value.empty() || error != std::errc() || end != value.data() + value.size())
        return std::unexpected("--min-size 需要以 KB 计的整数：" + value);
    options.minSize = kilobytes;
    return {};
}

Taken takeChecksums(CliOptions& options, const std::string& value, std::span<const std::string_view> choices)
{
    if (std::ranges::find(choices, value) == choices.end())
        return std::unexpected("未知的校验和算法：" + value + "（可用 " + listed(choices) + "）。");
    options.checksums = value;
    return {};
}

constexpr OptionSpec kOptions[] = {
    { .name = "--in",
        .value = "名称",
        .help = "只用这个目录；可以多次给出，不给时用所有目录",
        .repeatable = true,
        .take = [](CliOptions& options, const std::string& value, std::span<const std::string_view>) -> Taken {
            options.in.push_back(value);
            return {};
        } },
    { .name = "--min-size", .value = "KB", .help = "只算至少这么大的文件，以 KB 计", .take = takeMinSize },
    { .name = "--format", .value = "格式", .help = "输出格式，不给时为列出的第一种", .take = takeFormat },
    { .name = "--out",
        .value = "文件",
        .help = "写入这个文件而不是标准输出；全部写完才替换原来的文件",
        .take = [](CliOptions& options, const std::string& value, std::span<const std::string_view>) -> Taken {
            options.out = value;
            return {};
        } },
    { .name = "--force", .help = "覆盖同名的目录", .flag = &CliOptions::force },
    { .name = "--long",
        .help = "加上所在卷的卷标、该卷现在是否在线，以及目录的数据库能否使用",
        .flag = &CliOptions::longListing },
    { .name = "--no-index",
        .help = "不用名称索引，直接读目录文件（扫描时不建名称索引）",
        .flag = &CliOptions::noIndex },
    { .name = "--no-database", .help = "不在目录旁写数据库（文件的确切大小和时间）", .flag = &CliOptions::noDatabase },
    { .name = "--checksums",
        .value = "算法",
        .help = "扫描时计算每个文件内容的校验和，存入目录的数据库；不给算法时为 xxh128",
        .valueOptional = true,
        .take = takeChecksums },
    { .name = "--content",
        .help = "按文件内容的校验和比较，而不是按名称和大小；只用扫描时计算了校验和的目录",
        .flag = &CliOptions::content },
    { .name = "--sums",
        .help = "写成校验和文件，在光盘的根目录中用 xxhsum -c 或 sha256sum -c 核对",
        .flag = &CliOptions::sums },
    { .name = "--update",
        .help = "重新扫描已有的目录：大小和修改时间没有变的文件沿用原来的校验和而不再读取，并列出变化",
        .flag = &CliOptions::update },
    { .name = "--at",
        .value = "路径",
        .help = "光盘现在挂载的位置（或扫描的文件夹现在的位置），不给时按目录记录的卷查找",
        .take = [](CliOptions& options, const std::string& value, std::span<const std::string_view>) -> Taken {
            options.at = value;
            return {};
        } },
    { .name = "--read", .help = "没有校验和的文件也逐字节读取，找出无法读取的地方", .flag = &CliOptions::readAll },
    { .name = "--archives",
        .help = "扫描时列出压缩文件（按内容识别）中的文件夹和文件，存入目录的数据库",
        .flag = &CliOptions::archives },
    { .name = "--data",
        .value = "目录",
        .help = "使用这个数据目录，不给时为程序所在目录中的 Data",
        .take = [](CliOptions& options, const std::string& value, std::span<const std::string_view>) -> Taken {
            options.dataDir = value;
            return {};
        } },
};

} // namespace

const OptionSpec* optionNamed(std::string_view name)
{
    const auto found = std::ranges::find(kOptions, name, &OptionSpec::name);
    return found == std::end(kOptions) ? nullptr : &*found;
}

} // namespace mellowby::cli
