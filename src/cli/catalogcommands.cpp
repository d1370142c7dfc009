#include "cli/catalogcommands.h"

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasestate.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "cli/cliconsole.h"
#include "cli/tool.h"
#include "cli/verifycommands.h"
#include "cli/volumereport.h"
#include "digest/digestalgorithm.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/linux/linuxvolumes.h"
#include "scan/scanner.h"

namespace mellowby::cli {

namespace {

// What became of the files' digests, once the scan has succeeded: only the files not digested
// are worth a line.
void reportDigests(const scan::DigestTotals& totals)
{
    if (totals.notDigested == 0)
        return;
    printError("有 " + std::to_string(totals.notDigested) + " 个文件未能计算校验和，数据库中没有它们的校验和：");
    for (const std::string& failure : totals.failures)
        printError("  " + failure);
    if (totals.notDigested > totals.failures.size())
        printError("  ……");
}

// How many archives were listed, and which of them not whole.
// On standard error where standard output holds the records of an update.
void reportArchives(Tool& tool, const scan::ArchiveTotals& totals, bool toError)
{
    const std::string line = "压缩文件：" + std::to_string(totals.archives) + " 个，其中共有 "
        + std::to_string(totals.members) + " 个文件夹和文件";
    if (toError)
        printError(line);
    else
        tool.output.line(line);
    for (const std::string& archive : totals.incomplete)
        printError("  " + archive);
}

} // namespace

int scanCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    if (options.checksums && options.noDatabase) {
        printError("--checksums 与 --no-database 不能同时使用：校验和存放在目录的数据库中。");
        return kExitUsage;
    }
    if (options.update && options.noDatabase) {
        printError("--update 与 --no-database 不能同时使用：更新要与目录的数据库比较。");
        return kExitUsage;
    }
    if (options.archives && options.noDatabase) {
        printError("--archives 与 --no-database 不能同时使用：压缩文件中的文件存放在目录的数据库中。");
        return kExitUsage;
    }
    if (!options.update && (options.format || options.out)) {
        printError("scan 只在 --update 时用 --format 和 --out：它们是列出变化的格式和文件。");
        return kExitUsage;
    }
    // The catalog keeps the scanned path to locate its files later, so it must not depend on
    // the folder the tool was started from.
    std::error_code ignored;
    const std::string path = options.arguments[0].empty()
        ? std::string()
        : std::filesystem::absolute(options.arguments[0], ignored).lexically_normal().string();
    // As the generation dialog does: no name gives tmp1000, also as the catalog's title.
    const std::string name = catalog::effectiveCatalogName(options.argument(1).value_or(""));

    // An update replaces the catalog it reads, and keeps the digests of the files that did not change.
    std::optional<CatalogToUpdate> earlier;
    std::optional<std::string> checksums = options.checksums;
    if (options.update) {
        earlier = catalogToUpdate(tool, name);
        if (!earlier || !tool.openOutput())
            return kExitFailure;
        if (!checksums && !earlier->algorithm.empty())
            checksums = earlier->algorithm;
    }

    ConsoleMessageBox box(options.force || options.update);
    const app::Settings settings = app::loadStartupSettings(tool.folder, box);
    platform::LinuxDirectoryLister lister;
    const catalog::DateFormatter dates(catalog::DateFormatter::userLocaleName());
    ConsoleProgress progress;
    platform::LinuxVolumes volumes;
    // As the program does at start-up: a missing Data folder is created, one level only.
    if (!tool.fileSystem.isDirectory(tool.store.folder()))
        scan::createDir(tool.fileSystem, tool.store.folder());
    platform::LinuxFileReading reading;
    scan::ScanContext context { tool.store, settings, lister, box, dates, &progress,
        options.noIndex ? nullptr : &tool.indexes, &volumes, !options.noDatabase,
        checksums ? digest::algorithmNamed(*checksums) : std::nullopt, &reading,
        earlier ? earlier->earlier : scan::EarlierCatalog {}, options.archives };

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
        case scan::ScanFailure::EarlierUnusable:
            printNotUpdatable(earlier->catalog, earlier->earlier.files().error());
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
    if (result->digests)
        reportDigests(*result->digests);
    if (earlier) {
        // Standard output is for the records of what changed.
        printError(result->xmlPath + summary);
        if (result->archives)
            reportArchives(tool, *result->archives, true);
        // An update always writes a database, which the changes are told from.
        if (result->changes)
            printChanges(tool, *result->changes, path);
        return tool.finish(0);
    }
    tool.output.line(result->xmlPath + summary);
    if (result->archives)
        reportArchives(tool, *result->archives, false);
    return tool.finish(0);
}

namespace {

// Each catalog with the label of its volume and whether that is mounted now.
void listWithVolumes(Tool& tool, const std::vector<catalog::StoredCatalog>& catalogs)
{
    platform::LinuxVolumes volumes;
    const auto mounted = volumes.mountedVolumes();
    for (const auto& catalog : catalogs)
        tool.output.line(catalog.name + "\t" + volumeColumns(tool.store, catalog.name, mounted) + "\t"
            + std::string(catalogdb::describe(tool.indexes.databaseStateOf(catalog.name))));
}

} // namespace

int listCommand(Tool& tool)
{
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

int deleteCommand(Tool& tool)
{
    const std::string& name = tool.options.arguments[0];
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
    const auto catalog = tool.catalogArgument();
    if (!catalog)
        return kExitFailure;
    platform::LinuxVolumes volumes;
    const auto answer = whereIs(tool.store, volumes, *catalog, tool.options.argument(1));
    if (!answer) {
        printError(answer.error());
        return kExitFailure;
    }
    if (!answer->note.empty())
        printError(answer->note);
    tool.output.line(answer->line);
    return tool.finish(answer->online ? 0 : kExitFailure);
}

} // namespace mellowby::cli
