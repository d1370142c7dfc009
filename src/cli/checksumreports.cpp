#include "cli/checksumreports.h"

#include "catalogdb/databasestate.h"

#include <cstdint>
#include <utility>

#include "cli/tool.h"
#include "digest/checksumline.h"
#include "digest/digestalgorithm.h"
#include "search/catalogdigests.h"
#include "search/contentduplicates.h"

namespace mellowby::cli {

namespace {

std::string noDatabaseText(const std::string& catalog, catalogdb::DatabaseState state)
{
    return "目录“" + catalog + "”没有可用的数据库（" + std::string(catalogdb::describe(state)) + "），无法导出校验和。";
}

} // namespace

int exportSums(Tool& tool, const std::string& catalog)
{
    if (tool.options.format) {
        printError("--sums 与 --format 不能同时使用：校验和文件有它自己的格式。");
        return kExitUsage;
    }
    // Told before anything is written; the digests count only once the database read alongside
    // them is found to belong again at the end.
    if (const auto state = tool.indexes.databaseStateOf(catalog); state != catalogdb::DatabaseState::Belongs) {
        printError(noDatabaseText(catalog, state));
        return kExitFailure;
    }
    auto reading = search::openCatalogDigests(tool.indexes, catalog);
    if (!reading) {
        printError(noDatabaseText(catalog, reading.error()));
        return kExitFailure;
    }
    if (!tool.openOutput())
        return kExitFailure;
    std::uint64_t written = 0;
    std::uint64_t withoutDigest = 0;
    std::uint64_t unwritable = 0;
    while (const auto file = reading->reader->nextFileAlone()) {
        const auto digest
            = file->digest ? digest::digestOf(file->digest->algorithm, file->digest->bytes.view()) : std::nullopt;
        if (!digest) {
            ++withoutDigest;
            continue;
        }
        const auto line = digest::checksumLine(*digest, file->path);
        if (!line) {
            ++unwritable;
            continue;
        }
        tool.write(*line);
        ++written;
    }
    if (const auto state = reading->reader->finish(reading->catalogHash); state != catalogdb::DatabaseState::Belongs) {
        printError("目录“" + catalog + "”的数据库在读取时已改变（" + std::string(catalogdb::describe(state))
            + "），未导出校验和。");
        return kExitFailure; // a file given with --out stays as it was
    }
    if (written == 0 && unwritable == 0) {
        printError("目录“" + catalog + "”的数据库中没有校验和：扫描时加 --checksums 才会计算。");
        return kExitFailure;
    }
    if (withoutDigest > 0)
        printError("有 " + std::to_string(withoutDigest) + " 个文件没有校验和，未写入。");
    if (unwritable > 0)
        printError(
            "有 " + std::to_string(unwritable) + " 个文件的名称含换行符或回车符，xxhsum 无法核对这样的名称，未写入。");
    return tool.finish(0);
}

search::DuplicateGroups contentDuplicates(
    Tool& tool, platform::IMessageBox& box, const std::vector<std::string>& catalogs)
{
    auto found = search::findContentDuplicates(tool.indexes, box, catalogs, tool.options.minSize.value_or(0));
    if (!found.withoutDigests.empty()) {
        std::string names;
        for (const std::string& catalog : found.withoutDigests)
            names.append(names.empty() ? "" : "、").append(catalog);
        printError("有 " + std::to_string(found.withoutDigests.size()) + " 个目录没有可用的校验和，未参与按内容的比较："
            + names);
    }
    return std::move(found.groups);
}

} // namespace mellowby::cli
