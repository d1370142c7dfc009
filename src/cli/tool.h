#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/programfolder.h"
#include "catalog/catalogstore.h"
#include "cli/clioptions.h"
#include "cli/clioutput.h"
#include "cli/recordwriter.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A message on standard error, which has nowhere else to go when it cannot be written.
void printError(const std::string& text);

// What every command works with: the program folder, the file system, the Data folder (--data,
// or the program's own) with its indexes, and where the output goes.
struct Tool {
    Tool(const std::string& programFolder, const CliOptions& parsed);

    // Where the records of a command go: standard output, or with --out a file that takes them
    // as its new contents only once all are written. False, after saying why, when it cannot be.
    bool openOutput();
    void write(std::string_view text);
    // A writer of the command's records in the --format asked for (tsv unless told).
    RecordWriter records(std::vector<RecordField> fields);

    // The catalog that the command's first argument names, or nothing after saying that there is none.
    std::optional<std::string> catalogArgument() const;

    // Ends a command that printed: a write that failed makes it fail, and a file given with --out
    // is then left as it was.
    int finish(int status);

    const CliOptions& options;
    platform::LinuxFileSystem fileSystem;
    app::ProgramFolder folder;
    catalog::CatalogStore store;
    names::NamesIndexCache indexes;
    CheckedOutput output;
    std::optional<OutputFile> outputFile;
};

// The catalog of a name as the user typed it, or nothing after saying that there is none.
std::optional<std::string> knownCatalog(const catalog::CatalogStore& store, const std::string& name);
// Every catalog of Data, in the order the window loads them.
std::vector<std::string> allCatalogs(const catalog::CatalogStore& store);
// The catalogs --in names, each known, or every catalog of Data in the order the window loads
// them when none is named; nothing after saying which is unknown.
std::optional<std::vector<std::string>> catalogsAsked(const Tool& tool);

} // namespace mellowby::cli
