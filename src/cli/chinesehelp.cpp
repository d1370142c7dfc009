#include "cli/chinesehelp.h"

#include <CLI/App.hpp>
#include <CLI/Option.hpp>
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace mellowby::cli {

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// Columns on a terminal: Chinese characters take two.
std::size_t displayWidth(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    std::size_t width = 0;
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        const auto kind = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
        width += kind == U_EA_WIDE || kind == U_EA_FULLWIDTH ? 2 : 1;
    }
    return width;
}

// Indented rows of a name and what it is, the second column lined up.
std::string columns(const Rows& rows)
{
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, displayWidth(row.first));
    std::string text;
    for (const auto& [name, help] : rows)
        text.append("  ").append(name).append(width - displayWidth(name) + 2, ' ').append(help).append("\n");
    return text;
}

// The tool itself, for a command.
const CLI::App& toolOf(const CLI::App& app)
{
    return app.get_parent() ? *app.get_parent() : app;
}

bool isSwitch(const CLI::Option& option)
{
    return option.get_expected_max() == 0;
}

// "--data 目录", "--force"
std::string withValue(const CLI::Option& option)
{
    if (isSwitch(option))
        return option.get_name();
    // An option whose value may be left out shows it as "--checksums[=xxh128|sha256]".
    const std::string& value = option.get_type_name();
    return option.get_name() + (value.starts_with("[=") ? "" : " ") + value;
}

std::vector<const CLI::Option*> argumentsOf(const CLI::App& command)
{
    return command.get_options([](const CLI::Option* option) { return option->get_positional(); });
}

// The options an app has itself, without --help and --version.
std::vector<const CLI::Option*> ownOptions(const CLI::App& app)
{
    return app.get_options([&app](const CLI::Option* option) {
        return !option->get_positional() && option != app.get_help_ptr() && option != app.get_version_ptr();
    });
}

// The options a command takes, as its usage lists them: its own, then the tool's.
std::vector<const CLI::Option*> optionsOf(const CLI::App& command)
{
    std::vector<const CLI::Option*> options = ownOptions(command);
    if (command.get_parent()) {
        const auto common = ownOptions(*command.get_parent());
        options.insert(options.end(), common.begin(), common.end());
    }
    return options;
}

// "mellowby-cli scan 路径 [名称] [--force] [--no-index] [--no-database] [--data 目录]"
std::string usageLine(const CLI::App& command)
{
    std::string line = toolOf(command).get_name() + " " + command.get_name();
    for (const CLI::Option* argument : argumentsOf(command))
        line += argument->get_required() ? " " + argument->get_name() : " [" + argument->get_name() + "]";
    for (const CLI::Option* option : optionsOf(command)) {
        line += " [" + withValue(*option) + "]";
        if (option->get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll)
            line += "...";
    }
    return line;
}

std::string toolUsage(const CLI::App& tool)
{
    std::string text = "用法：\n";
    for (const CLI::App* command : tool.get_subcommands({}))
        text += "  " + usageLine(*command) + "\n";
    return text;
}

std::string toolHelp(const CLI::App& tool)
{
    const std::string& name = tool.get_name();
    std::string text = toolUsage(tool);
    text += "  " + name + " 命令 " + tool.get_help_ptr()->get_name() + "\n";
    text += "  " + name + " " + tool.get_version_ptr()->get_name() + "\n";
    text += "\n" + tool.get_description() + "\n";

    Rows commands;
    Rows options;
    std::vector<std::string> named;
    auto addOption = [&options, &named](const CLI::Option* option) {
        if (std::ranges::find(named, option->get_name()) != named.end())
            return;
        named.push_back(option->get_name());
        options.emplace_back(withValue(*option), option->get_description());
    };
    // Each option once, as the first command that takes it shows it, then the tool's own.
    for (const CLI::App* command : tool.get_subcommands({})) {
        commands.emplace_back(command->get_name(), command->get_description());
        for (const CLI::Option* option : ownOptions(*command))
            addOption(option);
    }
    for (const CLI::Option* option : ownOptions(tool))
        addOption(option);
    addOption(tool.get_help_ptr());
    addOption(tool.get_version_ptr());
    return text + "\n命令：\n" + columns(commands) + "\n选项：\n" + columns(options);
}

std::string commandHelp(const CLI::App& command)
{
    std::string text = "用法：" + usageLine(command) + "\n\n" + command.get_description() + "。\n";
    Rows arguments;
    for (const CLI::Option* argument : argumentsOf(command))
        arguments.emplace_back(argument->get_name(), argument->get_description());
    if (!arguments.empty())
        text += "\n参数：\n" + columns(arguments);
    Rows options;
    for (const CLI::Option* option : optionsOf(command))
        options.emplace_back(withValue(*option), option->get_description());
    options.emplace_back(command.get_help_ptr()->get_name(), command.get_help_ptr()->get_description());
    return text + "\n选项：\n" + columns(options);
}

} // namespace

std::string ChineseHelp::make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const
{
    return app->get_parent() ? commandHelp(*app) : toolHelp(*app);
}

std::string usageText(const CLI::App& app)
{
    const CLI::App& tool = toolOf(app);
    if (&app == &tool)
        return toolUsage(tool) + "用 " + tool.get_name() + " 命令 " + tool.get_help_ptr()->get_name()
            + " 查看命令的说明。\n";
    return "用法：" + usageLine(app) + "\n用 " + tool.get_name() + " " + app.get_name() + " "
        + app.get_help_ptr()->get_name() + " 查看说明。\n";
}

} // namespace mellowby::cli
