// mellowby-cli: the catalog engine for scripts and benchmarks, on the same code as the windows.

#include "cli/cliconsole.h"
#include "cli/clioptions.h"
#include "cli/clioutput.h"
#include "cli/recordrows.h"
#include "cli/reportcommands.h"
#include "cli/tool.h"
#include "cli/volumereport.h"
#include "names/catalogindexes.h"
#include "scan/scanner.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/casefold.h"
#include "app/programfolder.h"
#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/linux/linuxvolumes.h"
#include "platform/paths.h"
#include "platform/programpath.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"
#include "search/rowlist.h"

namespace mellowby::cli {

namespace {

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
        scan::createDir(tool.fileSystem, tool.store.folder());
    scan::ScanContext context { tool.store, settings, lister, box, dates, &progress,
        options.noIndex ? nullptr : &tool.indexes, &volumes };

    const auto result = scan::genXml(context, path, name);
    progress.finish();
    if (!result) {
        switch (result.error()) {
        case scan::ScanFailure::EmptyPath:
            printError("没有给出要扫描的路径。");
            break;
        case scan::ScanFailure::OverwriteDeclined:
            printError("同名目录已存在，未覆盖（要覆盖请加 --force）。");
            break;
        case scan::ScanFailure::RootUnreadable:
            printError("无法读取“" + path + "”，或其中没有任何内容。");
            break;
        case scan::ScanFailure::Stopped:
            printError("扫描已停止。");
            break;
        case scan::ScanFailure::NameRefused:
        case scan::ScanFailure::Failed:
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

int searchCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.arguments.size() != 1) {
        printUsage();
        return kExitUsage;
    }
    ConsoleMessageBox box(false);
    const std::string& text = options.arguments[0];
    if (search::isBlankFindText(text)) {
        search::FileList none;
        search::cmdFind_Click(tool.indexes, box, none, text, {}); // shows why
        return kExitFailure;
    }
    // The catalogs named, else every catalog, in the order the window loads them.
    const auto catalogs = catalogsAsked(tool);
    if (!catalogs || !tool.openOutput())
        return kExitFailure;
    RecordWriter records = tool.records(rowFields());
    RecordRows rows(records);
    search::cmdFind_Click(tool.indexes, box, rows, text, { true, *catalogs, {} });
    records.finish();
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
        for (const std::string_view title : platform::componentsOf(options.arguments[1]))
            address.emplace_back(std::string(title), 0);
    }
    if (!tool.openOutput())
        return kExitFailure;
    ConsoleMessageBox box(false);
    // Rows come only when the folder exists.
    RecordWriter records = tool.records(rowFields());
    RecordRows rows(records);
    const auto found = search::listCatalogFolder(tool.indexes, box, rows, *catalog, address);
    if (!found) {
        printError("无法读取目录“" + *catalog + "”。");
        return kExitFailure;
    }
    if (!*found) {
        printError("目录“" + *catalog + "”中没有“" + options.arguments[1] + "”。");
        return kExitFailure;
    }
    records.finish();
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
    if (command == "export")
        return exportCommand(tool);
    if (command == "dupes")
        return dupesCommand(tool);
    if (command == "stats")
        return statsCommand(tool);
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
