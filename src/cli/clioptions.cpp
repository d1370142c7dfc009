#include "cli/clioptions.h"

#include "cli/recordwriter.h"

#include <charconv>
#include <string_view>

namespace mellowby::cli {

namespace {

constexpr std::string_view kValued[] = { "--data", "--in", "--format", "--out", "--min-size" };

bool valued(std::string_view word)
{
    for (const std::string_view name : kValued) {
        if (word == name || (word.starts_with(name) && word.size() > name.size() && word[name.size()] == '='))
            return true;
    }
    return false;
}

std::expected<void, std::string> take(CliOptions& options, const std::string& name, const std::string& value)
{
    if (name == "--data") {
        options.dataDir = value;
    } else if (name == "--in") {
        options.in.push_back(value);
    } else if (name == "--out") {
        options.out = value;
    } else if (name == "--format") {
        if (!recordFormatNamed(value))
            return std::unexpected("未知的输出格式：" + value + "（可用 tsv、csv、json）。");
        options.format = value;
    } else if (name == "--min-size") {
        std::uint64_t kilobytes = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), kilobytes);
        if (value.empty() || error != std::errc() || end != value.data() + value.size())
            return std::unexpected("--min-size 需要以 KB 计的整数：" + value);
        options.minSize = kilobytes;
    }
    return {};
}

} // namespace

std::expected<CliOptions, std::string> parseCommandLine(const std::vector<std::string>& words)
{
    CliOptions options;
    bool onlyArguments = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!onlyArguments && word == "--") {
            onlyArguments = true;
        } else if (!onlyArguments && word == "--force") {
            options.force = true;
        } else if (!onlyArguments && word == "--no-index") {
            options.noIndex = true;
        } else if (!onlyArguments && word == "--long") {
            options.longListing = true;
        } else if (!onlyArguments && valued(word)) {
            // --name VALUE or --name=VALUE
            const auto equals = word.find('=');
            const std::string name = word.substr(0, equals);
            if (equals == std::string::npos && i + 1 == words.size())
                return std::unexpected("选项 " + word + " 后面缺少参数。");
            const std::string value = equals == std::string::npos ? words[++i] : word.substr(equals + 1);
            if (auto taken = take(options, name, value); !taken)
                return std::unexpected(taken.error());
        } else if (!onlyArguments && word.starts_with("--")) {
            return std::unexpected("未知的选项：" + word);
        } else if (options.command.empty()) {
            options.command = word;
        } else {
            options.arguments.push_back(word);
        }
    }
    if (options.command.empty())
        return std::unexpected("缺少命令。");
    return options;
}

} // namespace mellowby::cli
