#include "cli/reportcommands.h"

#include "catalogdb/databasestate.h"

#include <string>

#include "cli/checksumreports.h"
#include "cli/cliconsole.h"
#include "cli/tool.h"
#include "search/catalogfiles.h"
#include "search/catalogstats.h"
#include "search/duplicates.h"

namespace mellowby::cli {

int exportCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    const auto catalog = tool.catalogArgument();
    if (catalog && options.sums)
        return exportSums(tool, *catalog);
    if (!catalog || !tool.openOutput())
        return kExitFailure;
    ConsoleMessageBox box(false);
    const RecordFormat format = options.format == "json" ? RecordFormat::Json : RecordFormat::Csv;
    std::vector<RecordField> fields { { "catalog", "目录" }, { "directory", "文件夹" }, { "name", "名称" },
        { "location", "位置" }, { "size", "大小" }, { "date", "日期" } };
    // The exact size in bytes and modification time in nanoseconds since 1970 (UTC), where the
    // catalog's database belongs to it; empty for a file it had none for.
    const bool exact = search::catalogHasFacts(tool.indexes, *catalog);
    if (exact)
        fields.insert(fields.end(), { { "bytes", "字节数" }, { "modified_ns", "修改时间(纳秒)" } });
    RecordWriter records(format, std::move(fields), [&](std::string_view text) { tool.write(text); });
    const bool read = search::forEachCatalogFile(tool.indexes, box, *catalog, [&](const search::CatalogFile& file) {
        if (!exact) {
            records.record({ *catalog, file.directory, file.name, file.location, file.size, file.date });
            return;
        }
        const std::string bytes = file.facts ? std::to_string(file.facts->size) : std::string();
        const std::string modified = file.facts ? std::to_string(file.facts->modifiedNs) : std::string();
        records.record({ *catalog, file.directory, file.name, file.location, file.size, file.date, bytes, modified });
    });
    if (!read) {
        printError("无法读取目录“" + *catalog + "”。");
        return kExitFailure; // a file given with --out stays as it was
    }
    records.finish();
    return tool.finish(0);
}

int dupesCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    const auto catalogs = catalogsAsked(tool);
    if (!catalogs || !tool.openOutput())
        return kExitFailure;
    ConsoleMessageBox box(false);
    const auto duplicates = options.content
        ? contentDuplicates(tool, box, *catalogs)
        : search::findDuplicates(tool.indexes, box, *catalogs, options.minSize.value_or(0));
    RecordWriter records = tool.records(
        { { "group", "组" }, { "name", "名称" }, { "size", "大小" }, { "catalog", "目录" }, { "location", "位置" } });
    std::string location;
    for (std::size_t group = 0; group < duplicates.groups().size(); ++group) {
        const std::string number = std::to_string(group + 1);
        const auto& found = duplicates.groups()[group];
        for (std::size_t copy = found.firstCopy; copy < found.firstCopy + found.copyCount; ++copy) {
            const auto each = duplicates.copy(copy);
            location.assign(each.folder).append(each.name);
            records.record({ number, each.name, duplicates.size(found), each.catalog, location });
        }
    }
    records.finish();
    return tool.finish(0);
}

int statsCommand(Tool& tool)
{
    const CliOptions& options = tool.options;
    std::vector<std::string> catalogs = allCatalogs(tool.store);
    if (const auto named = options.argument(0)) {
        const auto catalog = knownCatalog(tool.store, *named);
        if (!catalog)
            return kExitFailure;
        catalogs = { *catalog };
    }
    if (!tool.openOutput())
        return kExitFailure;
    ConsoleMessageBox box(false);
    RecordWriter records = tool.records(
        { { "catalog", "目录" }, { "directories", "文件夹数" }, { "files", "文件数" }, { "kilobytes", "总大小(KB)" },
            { "oldest", "最早日期" }, { "newest", "最晚日期" }, { "scanned", "扫描路径" }, { "database", "数据库" } });
    int status = 0;
    for (const std::string& catalog : catalogs) {
        const auto stats = search::statsOf(tool.indexes, box, catalog);
        if (!stats) {
            printError("无法读取目录“" + catalog + "”。");
            status = kExitFailure;
            continue;
        }
        records.record({ catalog, std::to_string(stats->directories), std::to_string(stats->files),
            std::to_string(stats->kilobytes), stats->oldest, stats->newest, stats->scannedPath,
            std::string(catalogdb::describe(tool.indexes.databaseStateOf(catalog))) });
    }
    records.finish();
    return tool.finish(status);
}

} // namespace mellowby::cli
