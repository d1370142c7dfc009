#include "cli/clioptions.h"

namespace mellowby::cli {

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
        } else if (!onlyArguments && (word == "--data" || word == "--in")) {
            if (i + 1 == words.size())
                return std::unexpected("选项 " + word + " 后面缺少参数。");
            (word == "--data" ? options.dataDir : options.in) = words[++i];
        } else if (!onlyArguments && word.starts_with("--data=")) {
            options.dataDir = word.substr(7);
        } else if (!onlyArguments && word.starts_with("--in=")) {
            options.in = word.substr(5);
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
