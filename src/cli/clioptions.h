#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::cli {

// A command line as the commands read it: the command, its arguments and the options given.
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
    bool noDatabase = false;
    bool longListing = false; // --long
    std::optional<std::string> checksums; // --checksums[=ALGORITHM]: the algorithm's name
    bool content = false; // dupes --content: by the digests of the files' contents
    bool sums = false; // export --sums: a checksum file
    bool update = false; // scan --update: the catalog scanned again, unchanged files not read
    std::optional<std::string> at; // verify --at PATH: where the disc is
    bool readAll = false; // verify --read: files without digests read too
    bool archives = false; // --archives

    // The argument at position, or nothing where the command line ends before it: an optional
    // argument left out.
    std::optional<std::string> argument(std::size_t position) const
    {
        return position < arguments.size() ? std::optional(arguments[position]) : std::nullopt;
    }
};

// An option of the tool, known to every command that takes it under the same name: what its value
// is called in the usage, what it does, and where it goes in CliOptions. A new option is one more
// entry in the table of clioptions.cpp and a field above.
struct OptionSpec {
    std::string_view name {}; // "--data"
    std::string_view value {}; // what the usage calls its value ("目录"); empty for a switch
    std::string_view help {};
    bool repeatable = false; // taken as often as given, where the others keep the last
    // An option whose value may be left out: it takes one only after "=" (the next word stays an
    // argument), and the first of the command's choices when it stands alone.
    bool valueOptional = false;
    // A switch: the field it sets.
    bool CliOptions::*flag = nullptr;
    // An option with a value: puts the value into the options, or says why it is not one the
    // command can take. `choices` are the values the command allows, where it names them.
    std::expected<void, std::string> (*take)(
        CliOptions& options, const std::string& value, std::span<const std::string_view> choices)
        = nullptr;

    bool takesValue() const { return !value.empty(); }
};

// The option of that name ("--data"), or nothing.
const OptionSpec* optionNamed(std::string_view name);

} // namespace mellowby::cli
