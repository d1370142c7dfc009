#include "cli/verifycommands.h"

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"
#include "verify/catalogchanges.h"
#include "verify/catalogverifier.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "catalog/catalogstore.h"
#include "cli/cliconsole.h"
#include "cli/tool.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/linux/linuxvolumes.h"

namespace mellowby::cli {

namespace {

// Could not verify at all: no catalog, no database, no disc, the wrong disc.
constexpr int kExitNotVerified = 2;

std::vector<RecordField> verdictFields()
{
    return { { "name", "名称" }, { "status", "状态" }, { "location", "位置" }, { "detail", "说明" } };
}

void writeRow(RecordWriter& records, const verify::VerdictRow& row)
{
    records.record({ row.name, verify::verdictText(row.verdict), row.location, row.detail });
}

std::optional<std::string> absolutePath(const std::optional<std::string>& path)
{
    if (!path)
        return std::nullopt;
    std::error_code ignored;
    return std::filesystem::absolute(*path, ignored).lexically_normal().string();
}

} // namespace

int verifyCommand(Tool& tool)
{
    const std::string& name = tool.options.arguments[0];
    if (!tool.openOutput())
        return kExitNotVerified;
    RecordWriter records = tool.records(verdictFields());
    platform::LinuxDirectoryLister lister;
    platform::LinuxFileReading reading;
    platform::LinuxVolumes volumes;
    ConsoleProgress progress;
    const verify::VerifyServices services { tool.store, lister, reading, volumes };
    const verify::VerifyRequest request { name, absolutePath(tool.options.at), tool.options.readAll };
    const verify::VerifyCallbacks callbacks { [&](const verify::VerdictRow& row) { writeRow(records, row); },
        [&](const digest::DigestProgress& done) { progress.onReading(done); }, nullptr };
    const auto outcome = verify::verifyCatalog(services, request, callbacks);
    progress.finish();
    if (!outcome) {
        printError(outcome.error().text + "，无法校验。");
        return kExitNotVerified;
    }
    records.finish();
    printError("已校验“" + outcome->scannedFolder + "”：" + outcome->counts.text() + "。");
    if (!outcome->recorded)
        printError("无法写入目录的数据库（" + outcome->notRecorded + "），本次校验的结果没有记录。");
    return tool.finish(outcome->counts.allOk() ? 0 : kExitFailure);
}

std::optional<CatalogToUpdate> catalogToUpdate(Tool& tool, const std::string& name)
{
    const auto catalog = knownCatalog(tool.store, name);
    if (!catalog)
        return std::nullopt;
    const auto catalogPath = tool.store.catalogPath(*catalog);
    const auto databasePath = tool.store.companionPath(*catalog, catalog::Companion::Database);
    if (!catalogPath || !databasePath) {
        printError("无法找到目录“" + *catalog + "”的文件。");
        return std::nullopt;
    }
    const auto glance
        = catalogdb::glanceAtDatabase(tool.fileSystem, *databasePath).value_or(catalogdb::DatabaseGlance {});
    auto read = [&fileSystem = tool.fileSystem, databasePath = *databasePath, catalogPath = *catalogPath] {
        return catalogdb::readCatalogFiles(fileSystem, databasePath, catalogPath);
    };
    auto readDigests = [&fileSystem = tool.fileSystem, databasePath = *databasePath, catalogPath = *catalogPath](
                           std::int64_t mostEntries) {
        return catalogdb::readDigestsToKeep(fileSystem, databasePath, catalogPath, mostEntries);
    };
    return CatalogToUpdate { *catalog, scan::EarlierCatalog::readWhenAsked(read, readDigests), glance.algorithm };
}

void printNotUpdatable(const std::string& catalog, catalogdb::DatabaseState state)
{
    printError("目录“" + catalog + "”的数据库不能使用（" + std::string(catalogdb::describe(state))
        + "），无法更新：请不加 --update 重新扫描。");
}

void printChanges(Tool& tool, const scan::EarlierChanges& changes, const std::string& root)
{
    RecordWriter records = tool.records(verdictFields());
    const auto counts
        = verify::catalogChanges(changes, root, [&](const verify::VerdictRow& row) { writeRow(records, row); });
    records.finish();
    printError("与原来的目录相比：" + counts.text() + "。");
}

} // namespace mellowby::cli
