#pragma once

#include <expected>
#include <string>
#include <vector>

#include "cli/clioptions.h"

namespace mellowby::cli {

struct CommandSpec;

// A command to run, with its command line read.
struct Invocation {
    const CommandSpec* command = nullptr;
    CliOptions options;
};

// What the tool answers without running a command: the help or the version on standard output
// (status 0), or what is wrong with the command line and the usage on standard error (status 2).
struct Reply {
    int status = 0;
    std::string output;
    std::string errors;
};

// The command line (without the program's name) read against the table of commands.
std::expected<Invocation, Reply> readCommandLine(const std::vector<std::string>& words);

} // namespace mellowby::cli
