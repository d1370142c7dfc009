#pragma once

#include <CLI/App.hpp> // which its FormatterFwd.hpp needs before it
#include <string>

namespace mellowby::cli {

// The help of the tool and of each of its commands, in Chinese and in place of CLI11's English
// layout. It is read from the commands, arguments and options CLI11 was given, so the help
// cannot fall out of step with what the parser takes; the manual page and the completion are
// read from the help in turn.
class ChineseHelp final : public CLI::FormatterBase {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
};

// The usage of a command, or of every command when given the tool: what a mistake on the command
// line is answered with, after saying what the mistake is.
std::string usageText(const CLI::App& app);

} // namespace mellowby::cli
