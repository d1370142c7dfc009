#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace mellowby::cli {

// A command line split into its command, its arguments and the options, which may stand
// anywhere among the arguments.
struct CliOptions {
    std::string command;
    std::vector<std::string> arguments;
    std::optional<std::string> dataDir;
    std::vector<std::string> in; // --in, as often as given
    std::optional<std::string> format; // --format: tsv, csv or json
    std::optional<std::string> out; // --out FILE
    std::optional<std::uint64_t> minSize; // --min-size KB
    bool force = false;
    // Read the catalog files themselves instead of their names indexes (and keep none when
    // scanning): the reference the benchmarks compare with.
    bool noIndex = false;
    bool longListing = false; // --long
};

// The parsed command line, or the reason it cannot be understood.
std::expected<CliOptions, std::string> parseCommandLine(const std::vector<std::string>& words);

} // namespace mellowby::cli
