#include "cli/commandline.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string_view>

#include "cli/chinesehelp.h"
#include "cli/commandtable.h"
#include "cli/tool.h"

namespace mellowby::cli {

namespace {

constexpr const char* kToolName = "mellowby-cli";

// The command line in the order CLI11 reads it, and the options in it as CLI11 is given them.
struct OrderedLine {
    std::vector<std::string> words;
    std::vector<std::string> options;
};

// Scripts rely on how the tool has always read its command line: an option (a word that starts
// with "--") may stand anywhere, before the command too; after "--" every word is an argument; an
// option with a value takes the next word whatever it is, or what follows "=". CLI11 takes a
// command's options only after the command, and reads "-x" as an option, so the words are put in
// the order it reads the same way: the command, then each option with its value as the next word,
// then "--" and the arguments.
std::expected<OrderedLine, std::string> inReadingOrder(const std::vector<std::string>& words)
{
    std::string command;
    OrderedLine line;
    std::vector<std::string> options;
    std::vector<std::string> arguments;
    bool onlyArguments = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!onlyArguments && word == "--") {
            onlyArguments = true;
            continue;
        }
        if (onlyArguments || !word.starts_with("--")) {
            if (command.empty())
                command = word;
            else
                arguments.push_back(word);
            continue;
        }
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const OptionSpec* spec = optionNamed(name);
        std::string ignored;
        if (spec && spec->valueOptional) {
            // Left out, it is taken as given with the command's first choice (an empty value).
            line.options.push_back(name);
            options.push_back(name);
            options.push_back(equals == std::string::npos ? std::string() : word.substr(equals + 1));
        } else if (spec && spec->takesValue()) {
            if (equals == std::string::npos && i + 1 == words.size())
                return std::unexpected("选项 " + word + " 后面缺少参数。");
            line.options.push_back(name);
            options.push_back(name);
            options.push_back(equals == std::string::npos ? words[++i] : word.substr(equals + 1));
        } else if ((spec && equals != std::string::npos) || !CLI::detail::split_long(word, ignored, ignored)) {
            return std::unexpected("未知的选项：" + word); // a switch with a value, or no name CLI11 can read
        } else {
            line.options.push_back(word);
            options.push_back(word);
        }
    }
    if (!command.empty() && !commandNamed(command))
        return std::unexpected("未知的命令：" + command);
    if (!command.empty())
        line.words.push_back(command);
    line.words.insert(line.words.end(), options.begin(), options.end());
    if (!arguments.empty()) {
        line.words.emplace_back("--");
        line.words.insert(line.words.end(), arguments.begin(), arguments.end());
    }
    return line;
}

void addOption(CLI::App& app, const OptionSpec& spec, const std::vector<std::string_view>& choices)
{
    const std::string name(spec.name);
    const std::string help(spec.help);
    if (!spec.takesValue()) {
        app.add_flag(name, help);
        return;
    }
    // The values are read from the option's results once the line is parsed, by the option's
    // own rules and in Chinese, rather than by CLI11's conversions.
    CLI::Option* option = app.add_option(name, help);
    const std::string values = choices.empty() ? std::string(spec.value) : CLI::detail::join(choices, "|");
    option->type_name(spec.valueOptional ? "[=" + values + "]" : values);
    option->multi_option_policy(spec.repeatable ? CLI::MultiOptionPolicy::TakeAll : CLI::MultiOptionPolicy::TakeLast);
}

std::unique_ptr<CLI::App> makeParser()
{
    auto tool = std::make_unique<CLI::App>(
        "为光盘和文件夹编目、在目录中查找文件的命令行工具，与窗口使用同样的目录。", kToolName);
    // Set before the commands are added, which take them over.
    tool->formatter(std::make_shared<ChineseHelp>());
    tool->set_help_flag("--help", "显示说明后退出（在命令之后给出时说明该命令）");
    tool->set_version_flag("--version", std::string(kToolName) + " " + MELLOWBY_VERSION, "显示版本后退出");
    tool->fallthrough();
    tool->require_subcommand(1);
    for (const std::string_view name : commonOptions())
        addOption(*tool, *optionNamed(name), {});
    for (const CommandSpec& spec : commands()) {
        CLI::App* command = tool->add_subcommand(std::string(spec.name), std::string(spec.help));
        for (const ArgumentSpec& argument : spec.arguments) {
            const std::string help(argument.help);
            command->add_option(std::string(argument.name), help)->required(argument.required);
        }
        for (const OptionUse& use : spec.options)
            addOption(*command, *optionNamed(use.name), use.choices);
    }
    return tool;
}

// What CLI11 found wrong, said as the tool says it.
std::string problemOf(const CLI::ParseError& error, const CLI::App& tool, const OrderedLine& line)
{
    const std::vector<CLI::App*> chosen = tool.get_subcommands();
    if (dynamic_cast<const CLI::RequiredError*>(&error)) {
        if (chosen.empty())
            return "缺少命令。";
        for (const CLI::Option* argument : chosen.front()->get_options()) {
            if (argument->get_positional() && argument->get_required() && argument->count() == 0)
                return "缺少参数“" + argument->get_name() + "”。";
        }
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
        std::vector<std::string> extras = tool.remaining();
        for (const CLI::App* command : chosen) {
            const auto more = command->remaining();
            extras.insert(extras.end(), more.begin(), more.end());
        }
        for (const std::string& word : extras) {
            if (std::ranges::find(line.options, word) == line.options.end())
                continue;
            if (optionNamed(word) && !chosen.empty())
                return "命令 " + chosen.front()->get_name() + " 没有选项 " + word + "。";
            return "未知的选项：" + word;
        }
        // What is left is arguments, after the mark CLI11 keeps of where they began.
        if (const auto mark = std::ranges::find(extras, "--"); mark != extras.end())
            extras.erase(mark);
        return "多余的参数：" + CLI::detail::join(extras, " ");
    }
    return std::string("无法理解命令行：") + error.what();
}

// The options and arguments of a command that CLI11 has read, into the options the commands use.
std::expected<CliOptions, std::string> optionsOf(const CommandSpec& spec, const CLI::App& tool)
{
    const CLI::App& command = *tool.get_subcommand(std::string(spec.name));
    CliOptions options;
    options.command = spec.name;
    for (const CLI::Option* argument : command.get_options()) {
        if (argument->get_positional())
            options.arguments.insert(options.arguments.end(), argument->results().begin(), argument->results().end());
    }
    auto take = [&options](const CLI::Option& option, const OptionUse& use) -> std::expected<void, std::string> {
        const OptionSpec& known = *optionNamed(use.name);
        if (!known.takesValue()) {
            if (option.count() > 0)
                options.*known.flag = true;
            return {};
        }
        for (const std::string& given : option.results()) {
            const std::string value
                = given.empty() && known.valueOptional && !use.choices.empty() ? std::string(use.choices[0]) : given;
            if (auto taken = known.take(options, value, use.choices); !taken)
                return taken;
        }
        return {};
    };
    for (const OptionUse& use : spec.options) {
        if (auto taken = take(*command.get_option(std::string(use.name)), use); !taken)
            return std::unexpected(taken.error());
    }
    for (const std::string_view name : commonOptions()) {
        if (auto taken = take(*tool.get_option(std::string(name)), { name }); !taken)
            return std::unexpected(taken.error());
    }
    return options;
}

Reply mistake(const std::string& problem, const CLI::App& about)
{
    return { kExitUsage, {}, std::string(kToolName) + ": " + problem + "\n" + usageText(about) };
}

} // namespace

std::expected<Invocation, Reply> readCommandLine(const std::vector<std::string>& words)
{
    const auto tool = makeParser();
    const auto line = inReadingOrder(words);
    if (!line)
        return std::unexpected(mistake(line.error(), *tool));
    std::vector<std::string> reversed(line->words.rbegin(), line->words.rend()); // as CLI11 takes them
    try {
        tool->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return std::unexpected(Reply { 0, tool->help(), {} });
    } catch (const CLI::CallForVersion& version) {
        return std::unexpected(Reply { 0, std::string(version.what()) + "\n", {} });
    } catch (const CLI::ParseError& error) {
        const auto chosen = tool->get_subcommands();
        return std::unexpected(mistake(problemOf(error, *tool, *line), chosen.empty() ? *tool : *chosen.front()));
    }
    const CommandSpec& spec = *commandNamed(tool->get_subcommands().front()->get_name());
    auto options = optionsOf(spec, *tool);
    if (!options)
        return std::unexpected(mistake(options.error(), *tool->get_subcommands().front()));
    return Invocation { &spec, std::move(*options) };
}

} // namespace mellowby::cli
