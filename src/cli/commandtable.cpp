#include "cli/commandtable.h"

#include <algorithm>

#include "cli/catalogcommands.h"
#include "cli/listingcommands.h"
#include "cli/reportcommands.h"
#include "cli/verifycommands.h"
#include "digest/digestalgorithm.h"

namespace mellowby::cli {

namespace {

const std::vector<CommandSpec>& table()
{
    const std::vector<std::string_view> allFormats = { "tsv", "csv", "json" };
    // The default first.
    const std::vector<std::string_view> checksumAlgorithms = { digest::algorithmName(digest::DigestAlgorithm::Xxh128),
        digest::algorithmName(digest::DigestAlgorithm::Sha256) };
    static const std::vector<CommandSpec> commands = {
        { "scan", "扫描一个文件夹（例如光盘所在的位置）或光盘映像文件，将其中的文件编成目录，存入数据目录",
            { { "路径", "要扫描的文件夹，或当作光盘扫描的光盘映像文件（ISO 9660）" },
                { "名称", "目录的名称，不给时为 tmp1000", false } },
            { { "--force" }, { "--no-index" }, { "--no-database" }, { "--checksums", checksumAlgorithms },
                { "--update" }, { "--archives" }, { "--format", allFormats }, { "--out" } },
            scanCommand },
        { "list", "按目录树的顺序列出数据目录中的目录", {}, { { "--long" } }, listCommand },
        { "search", "在文件名中查找文本，按查找面板的顺序逐行列出找到的文件", { { "文本", "要查找的文本" } },
            { { "--in" }, { "--format", allFormats }, { "--out" }, { "--no-index" } }, searchCommand },
        { "find", "按查询语句查找文件或文件夹：文件名中的词、ext:、size:、dm:、path:、regex: 等，见 README",
            { { "查询", "查询语句，含 > 或 < 时请加引号，例如 'ext:jpg size:>4mb dm:2026'" } },
            { { "--in" }, { "--format", allFormats }, { "--out" }, { "--no-index" } }, findCommand },
        { "ls", "列出目录中一个文件夹里的文件，与文件列表所列相同",
            { { "名称", "目录的名称" }, { "目录/子目录/...", "目录中的文件夹，不给时为最上一层", false } },
            { { "--format", allFormats }, { "--out" }, { "--no-index" } }, lsCommand },
        { "export", "导出目录中的每个文件", { { "名称", "目录的名称" } },
            { { "--format", { "csv", "json" } }, { "--sums" }, { "--out" }, { "--no-index" } }, exportCommand },
        { "dupes", "列出名称和大小都相同、分散在各个目录中的文件", {},
            { { "--in" }, { "--min-size" }, { "--content" }, { "--format", allFormats }, { "--out" },
                { "--no-index" } },
            dupesCommand },
        { "stats", "统计目录中的文件夹数、文件数、总大小和最早、最晚的日期",
            { { "名称", "只统计这个目录，不给时统计每个目录", false } },
            { { "--format", allFormats }, { "--out" }, { "--no-index" } }, statsCommand },
        { "delete", "将目录移到回收站", { { "名称", "目录的名称" } }, {}, deleteCommand },
        { "where", "显示目录所在的卷现在挂载在哪里，或目录中的一个文件现在在哪里",
            { { "名称", "目录的名称" }, { "位置", "search 或 ls 列出的文件位置", false } }, {}, whereCommand },
        { "verify", "在光盘现在挂载的位置校验目录中的每个文件：完好、损坏、已修改、缺失、新增或无法读取",
            { { "名称", "目录的名称" } }, { { "--at" }, { "--read" }, { "--format", allFormats }, { "--out" } },
            verifyCommand },
    };
    return commands;
}

constexpr std::string_view kCommonOptions[] = { "--data" };

} // namespace

std::span<const CommandSpec> commands()
{
    return table();
}

const CommandSpec* commandNamed(std::string_view name)
{
    const auto& all = table();
    const auto found = std::ranges::find(all, name, &CommandSpec::name);
    return found == all.end() ? nullptr : &*found;
}

std::span<const std::string_view> commonOptions()
{
    return kCommonOptions;
}

} // namespace mellowby::cli
