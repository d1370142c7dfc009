#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace mellowby::cli {

struct Tool;

// An argument of a command, under the name the usage gives it.
struct ArgumentSpec {
    std::string_view name;
    std::string_view help;
    bool required = true;
};

// An option as a command takes it. `choices` are the values it allows there, where it names them;
// the first is what the command does without the option.
struct OptionUse {
    std::string_view name;
    std::vector<std::string_view> choices = {};
};

// A command of the tool: the parser, the help, the manual page and the completion all read it
// from here. A new command is one entry in commands() and its handler; a new option is one entry
// in the options' table (clioptions.cpp) and its name in the commands that take it.
struct CommandSpec {
    std::string_view name;
    std::string_view help;
    std::vector<ArgumentSpec> arguments;
    std::vector<OptionUse> options; // in the order of the usage, before the common ones
    // Runs the command once the command line has been read: its exit status.
    int (*run)(Tool& tool);
};

// Every command, in the order the help lists them.
std::span<const CommandSpec> commands();
const CommandSpec* commandNamed(std::string_view name);
// The options every command takes, after its own: what decides where the catalogs are.
std::span<const std::string_view> commonOptions();

} // namespace mellowby::cli
