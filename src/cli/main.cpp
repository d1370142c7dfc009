// mellowby-cli: the catalog engine for scripts and benchmarks, on the same code as the windows.

#include "cli/cliconsole.h"
#include "cli/clioptions.h"
#include "cli/clioutput.h"
#include "cli/volumereport.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/casefold.h"
#include "app/programfolder.h"
#include "app/settings.h"
#include "catalog/catalogindexes.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "catalog/scanner.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/linux/linuxvolumes.h"
#include "platform/programpath.h"
#include "search/filelisting.h"
#include "search/filesearch.h"
#include "search/rowlist.h"

namespace mellowby::cli {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = "用法：\n"
                               "  mellowby-cli scan 路径 [名称] [--force] [--no-index] [--data 目录]\n"
                               "  mellowby-cli list [--long] [--data 目录]\n"
                               "  mellowby-cli search 文本 [--in 名称] [--no-index] [--data 目录]\n"
                               "  mellowby-cli ls 名称 [目录/子目录/...] [--no-index] [--data 目录]\n"
                               "  mellowby-cli delete 名称 [--data 目录]\n"
                               "  mellowby-cli where 名称 [位置] [--data 目录]\n";

// A message that cannot be written to standard error has nowhere else to go, so these writes
// go unchecked.
void printError(const std::string& text)
{
    (void)std::fprintf(stderr, "mellowby-cli: %s\n", text.c_str());
}

void printUsage()
{
    (void)std::fputs(kUsage, stderr);
}

// What every command works with: the program folder, the file system and the Data folder
// (--data, or the program's own).
struct Tool {
    Tool(const std::string& programFolder, const CliOptions& parsed)
        : options(parsed)
        , folder(programFolder, fileSystem)
        , store(options.dataDir ? *options.dataDir : folder.dataDir(), fileSystem)
        , indexes(store, catalog::userCacheFolder(), options.noIndex)
    {
        // As the program does at start-up: what scans that died left in Data goes.
        store.removeLeftovers();
    }

    // Ends a command that printed to standard output: a write that failed makes it fail.
    int finish(int status)
    {
        if (!output.finish()) {
            printError("无法写入标准输出：" + output.failure());
            return kExitFailure;
        }
        return status;
    }

    const CliOptions& options;
    platform::LinuxFileSystem fileSystem;
    app::ProgramFolder folder;
    catalog::CatalogStore store;
    catalog::CatalogIndexes indexes;
    CheckedOutput output;
};

// Rows printed as they come, one per line, tab-separated: name, size, date, location, catalog.
class PrintedRows final : public search::IRowList {
public:
    explicit PrintedRows(CheckedOutput& output)
        : m_output(output)
    {
    }
    void clear() override { }
    void appendRow(std::string_view name, std::string_view size, std::string_view date, std::string_view directory,
        std::string_view catalog) override
    {
        m_line.clear();
        m_line.append(name).append("\t").append(size).append("\t").append(date).append("\t");
        m_line.append(directory).append(name).append("\t").append(catalog).append("\n");
        m_output.write(m_line);
    }
    void appendNameOnly(std::string_view name) override
    {
        m_line.assign(name).append("\t\t\t\t");
        m_output.line(m_line);
    }
    void flush() override { }
    void finishFill() override { }

private:
    CheckedOutput& m_output;
    std::string m_line;
};

int scanCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.arguments.empty() || options.arguments.size() > 2) {
        printUsage();
        return kExitUsage;
    }
    // The catalog keeps the scanned path to locate its files later, so it must not depend on
    // the folder the tool was started from.
    std::error_code ignored;
    const std::string path = options.arguments[0].empty()
        ? std::string()
        : std::filesystem::absolute(options.arguments[0], ignored).lexically_normal().string();
    // As the generation dialog does: no name gives tmp1000, also as the catalog's title.
    const std::string name = catalog::effectiveCatalogName(options.arguments.size() > 1 ? options.arguments[1] : "");

    ConsoleMessageBox box(options.force);
    const app::Settings settings = app::loadStartupSettings(tool.folder, box);
    platform::LinuxDirectoryLister lister;
    const catalog::DateFormatter dates(catalog::DateFormatter::userLocaleName());
    ConsoleProgress progress;
    platform::LinuxVolumes volumes;
    // As the program does at start-up: a missing Data folder is created, one level only.
    if (!tool.fileSystem.isDirectory(tool.store.folder()))
        catalog::createDir(tool.fileSystem, tool.store.folder());
    catalog::ScanContext context { tool.store, settings, lister, box, dates, &progress,
        options.noIndex ? nullptr : &tool.indexes, &volumes };

    const auto result = catalog::genXml(context, path, name);
    progress.finish();
    if (!result) {
        switch (result.error()) {
        case catalog::ScanFailure::EmptyPath:
            printError("没有给出要扫描的路径。");
            break;
        case catalog::ScanFailure::OverwriteDeclined:
            printError("同名目录已存在，未覆盖（要覆盖请加 --force）。");
            break;
        case catalog::ScanFailure::RootUnreadable:
            printError("无法读取“" + path + "”，或其中没有任何内容。");
            break;
        case catalog::ScanFailure::Stopped:
            printError("扫描已停止。");
            break;
        case catalog::ScanFailure::NameRefused:
        case catalog::ScanFailure::Failed:
            break; // the error box has said why
        }
        return kExitFailure;
    }
    const auto& totals = result->totals;
    char summary[160];
    (void)std::snprintf(summary, sizeof summary, "：%llu 个目录，%llu 个文件，%llu 字节，%.2f 秒",
        static_cast<unsigned long long>(totals.directories), static_cast<unsigned long long>(totals.files),
        static_cast<unsigned long long>(totals.bytes), progress.secondsSinceStart());
    tool.output.line(result->xmlPath + summary);
    return tool.finish(0);
}

// Each catalog with the label of its volume and whether that is mounted now.
void listWithVolumes(Tool& tool, const std::vector<catalog::StoredCatalog>& catalogs)
{
    platform::LinuxVolumes volumes;
    const auto mounted = volumes.mountedVolumes();
    for (const auto& catalog : catalogs)
        tool.output.line(catalog.name + "\t" + volumeColumns(tool.store, catalog.name, mounted));
}

int listCommand(Tool& tool)
{
    if (!tool.options.arguments.empty()) {
        printUsage();
        return kExitUsage;
    }
    const auto catalogs = tool.store.catalogs();
    if (!catalogs) {
        printError("无法读取数据目录“" + tool.store.folder() + "”：" + catalogs.error().description);
        return kExitFailure;
    }
    if (tool.options.longListing) {
        listWithVolumes(tool, *catalogs);
        return tool.finish(0);
    }
    for (const auto& catalog : *catalogs)
        tool.output.line(catalog.name);
    return tool.finish(0);
}

// The catalog of a name as the user typed it, or nothing after saying that there is none.
std::optional<std::string> knownCatalog(const catalog::CatalogStore& store, const std::string& name)
{
    const std::string key = catalog::catalogKeyOf(name);
    for (const auto& catalog : store.catalogs().value_or(std::vector<catalog::StoredCatalog> {})) {
        if (app::equalsIgnoringCase(catalog.name, key))
            return catalog.name;
    }
    printError("没有名为“" + name + "”的目录。");
    return std::nullopt;
}

int searchCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.arguments.size() != 1) {
        printUsage();
        return kExitUsage;
    }
    ConsoleMessageBox box(false);
    PrintedRows rows(tool.output);
    const std::string& text = options.arguments[0];
    search::SearchScope scope;
    if (text.find_first_not_of(' ') == std::string::npos) {
        search::cmdFind_Click(tool.indexes, box, rows, text, scope); // shows why
        return kExitFailure;
    }
    if (options.in) {
        const auto catalog = knownCatalog(tool.store, *options.in);
        if (!catalog)
            return kExitFailure;
        scope = { false, {}, *catalog };
    } else {
        // Every catalog, in the order the window loads them.
        for (const auto& catalog : tool.store.catalogs().value_or(std::vector<catalog::StoredCatalog> {}))
            scope.loadedCatalogs.push_back(catalog.name);
    }
    search::cmdFind_Click(tool.indexes, box, rows, text, scope);
    return tool.finish(0);
}

int lsCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.arguments.empty() || options.arguments.size() > 2) {
        printUsage();
        return kExitUsage;
    }
    const auto catalog = knownCatalog(tool.store, options.arguments[0]);
    if (!catalog)
        return kExitFailure;
    // The folders of the path, each the first of its name among its siblings.
    search::NodeAddress address;
    if (options.arguments.size() == 2) {
        std::string_view rest = options.arguments[1];
        while (!rest.empty()) {
            const auto slash = rest.find('/');
            const std::string_view title = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (!title.empty())
                address.emplace_back(std::string(title), 0);
        }
    }
    ConsoleMessageBox box(false);
    // Rows come only when the folder exists.
    PrintedRows rows(tool.output);
    const auto found = search::listCatalogFolder(tool.indexes, box, rows, *catalog, address);
    if (!found) {
        printError("无法读取目录“" + *catalog + "”。");
        return kExitFailure;
    }
    if (!*found) {
        printError("目录“" + *catalog + "”中没有“" + options.arguments[1] + "”。");
        return kExitFailure;
    }
    return tool.finish(0);
}

int deleteCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.arguments.size() != 1) {
        printUsage();
        return kExitUsage;
    }
    const std::string& name = options.arguments[0];
    if (const auto problem = catalog::catalogNameProblem(name)) {
        printError(*problem);
        return kExitFailure;
    }
    const auto catalog = knownCatalog(tool.store, name);
    if (!catalog)
        return kExitFailure;
    // As the menu command does: the catalog proper goes to the trash, its twin stays.
    if (const auto moved = tool.store.moveToTrash(*catalog); !moved) {
        printError("删除文件" + *catalog + "时没有成功！" + moved.error().description);
        return kExitFailure;
    }
    tool.output.line("已将目录“" + *catalog + "”移到回收站。");
    return tool.finish(0);
}

int whereCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.arguments.empty() || options.arguments.size() > 2) {
        printUsage();
        return kExitUsage;
    }
    const auto catalog = knownCatalog(tool.store, options.arguments[0]);
    if (!catalog)
        return kExitFailure;
    platform::LinuxVolumes volumes;
    const auto location = options.arguments.size() == 2 ? std::optional(options.arguments[1]) : std::nullopt;
    const auto answer = whereIs(tool.store, volumes, *catalog, location);
    if (!answer) {
        printError(answer.error());
        return kExitFailure;
    }
    if (!answer->note.empty())
        printError(answer->note);
    tool.output.line(answer->line);
    return tool.finish(answer->online ? 0 : kExitFailure);
}

int run(const std::vector<std::string>& words)
{
    const auto options = parseCommandLine(words);
    if (!options) {
        printError(options.error());
        printUsage();
        return kExitUsage;
    }
    const auto folderPath = platform::runningExecutableFolder();
    if (!folderPath) {
        printError("找不到程序所在的目录：" + folderPath.error().description);
        return kExitFailure;
    }
    Tool tool(*folderPath, *options);
    const std::string& command = options->command;
    if (command == "scan")
        return scanCommand(tool);
    if (command == "list")
        return listCommand(tool);
    if (command == "search")
        return searchCommand(tool);
    if (command == "ls")
        return lsCommand(tool);
    if (command == "delete")
        return deleteCommand(tool);
    if (command == "where")
        return whereCommand(tool);
    printError("未知的命令：" + command);
    printUsage();
    return kExitUsage;
}

} // namespace

} // namespace mellowby::cli

int main(int argc, char** argv)
{
    try {
        return mellowby::cli::run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& failure) {
        (void)std::fprintf(stderr, "mellowby-cli: %s\n", failure.what());
        return 1;
    }
}
