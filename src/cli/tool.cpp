#include "cli/tool.h"

#include <cstdio>
#include <filesystem>

namespace mellowby::cli {

void printError(const std::string& text)
{
    (void)std::fprintf(stderr, "mellowby-cli: %s\n", text.c_str());
}

Tool::Tool(const std::string& programFolder, const CliOptions& parsed)
    : options(parsed)
    , folder(programFolder, fileSystem)
    , store(options.dataDir ? *options.dataDir : folder.dataDir(), fileSystem)
    , indexes(store, names::userCacheFolder(), options.noIndex)
{
    // As the program does at start-up: what scans that died left in Data goes.
    store.removeLeftovers();
}

bool Tool::openOutput()
{
    if (!options.out)
        return true;
    std::error_code ignored;
    const std::string path = std::filesystem::absolute(*options.out, ignored).lexically_normal().string();
    auto file = OutputFile::begin(fileSystem, path);
    if (!file) {
        printError(file.error());
        return false;
    }
    outputFile.emplace(std::move(*file));
    return true;
}

void Tool::write(std::string_view text)
{
    if (outputFile)
        outputFile->write(text);
    else
        output.write(text);
}

RecordWriter Tool::records(std::vector<RecordField> fields)
{
    const RecordFormat format = options.format ? *recordFormatNamed(*options.format) : RecordFormat::Tsv;
    return RecordWriter(format, std::move(fields), [this](std::string_view text) { write(text); });
}

int Tool::finish(int status)
{
    if (outputFile) {
        if (const auto failure = outputFile->finish()) {
            printError(*failure);
            return kExitFailure;
        }
        return status;
    }
    if (!output.finish()) {
        printError("无法写入标准输出：" + output.failure());
        return kExitFailure;
    }
    return status;
}

namespace {

std::vector<catalog::StoredCatalog> listedCatalogs(const catalog::CatalogStore& store)
{
    return store.catalogs().value_or(std::vector<catalog::StoredCatalog> {});
}

std::optional<std::string> catalogAmong(const std::vector<catalog::StoredCatalog>& catalogs, const std::string& name)
{
    const std::string key = catalog::catalogNameKey(catalog::catalogKeyOf(name));
    for (const auto& catalog : catalogs) {
        if (catalog::catalogNameKey(catalog.name) == key)
            return catalog.name;
    }
    printError("没有名为“" + name + "”的目录。");
    return std::nullopt;
}

} // namespace

std::optional<std::string> knownCatalog(const catalog::CatalogStore& store, const std::string& name)
{
    return catalogAmong(listedCatalogs(store), name);
}

std::optional<std::string> Tool::catalogArgument() const
{
    return knownCatalog(store, options.arguments[0]);
}

std::vector<std::string> allCatalogs(const catalog::CatalogStore& store)
{
    std::vector<std::string> catalogs;
    for (const auto& catalog : listedCatalogs(store))
        catalogs.push_back(catalog.name);
    return catalogs;
}

std::optional<std::vector<std::string>> catalogsAsked(const Tool& tool)
{
    if (tool.options.in.empty())
        return allCatalogs(tool.store);
    // The folder listed once for all the names.
    const auto listed = listedCatalogs(tool.store);
    std::vector<std::string> catalogs;
    for (const std::string& name : tool.options.in) {
        const auto catalog = catalogAmong(listed, name);
        if (!catalog)
            return std::nullopt;
        catalogs.push_back(*catalog);
    }
    return catalogs;
}

} // namespace mellowby::cli
