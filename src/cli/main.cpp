// mellowby-cli: the catalog engine for scripts and benchmarks, on the same code as the windows.

#include "cli/cliconsole.h"
#include "cli/clioptions.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/programfolder.h"
#include "app/settings.h"
#include "app/showmsg.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalognames.h"
#include "catalog/datetext.h"
#include "catalog/scanner.h"
#include "catalog/textutils.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/programpath.h"
#include "search/filelist.h"
#include "search/filelisting.h"
#include "search/filesearch.h"

namespace mellowby::cli {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = "用法：\n"
                               "  mellowby-cli scan 路径 [名称] [--force] [--data 目录]\n"
                               "  mellowby-cli list [--data 目录]\n"
                               "  mellowby-cli search 文本 [--in 名称] [--data 目录]\n"
                               "  mellowby-cli ls 名称 [目录/子目录/...] [--data 目录]\n";

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

std::string dataDirOf(const app::ProgramFolder& folder, const CliOptions& options)
{
    return options.dataDir ? *options.dataDir : folder.dataDir();
}

// The filters as start-up loads them: a settings file that cannot be read gives the default lists.
app::Settings loadSettings(const app::ProgramFolder& folder, platform::IMessageBox& box)
{
    app::Settings settings;
    if (!app::getIniSetting(folder, settings, box)) {
        app::ShowMsg(box, "读取配置文件时出错！", 0, "", "Main");
        settings = { app::kDefaultFileTypes, app::kDefaultFileTypes, false, false };
    }
    return settings;
}

int scanCommand(const app::ProgramFolder& folder, const CliOptions& options)
{
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
    const app::Settings settings = loadSettings(folder, box);
    platform::LinuxDirectoryLister lister;
    platform::LinuxFileSystem fileSystem;
    const catalog::DateFormatter dates(catalog::DateFormatter::userLocaleName());
    ConsoleProgress progress;
    // As the program does at start-up: a missing Data folder is created, one level only.
    const std::string dataDir = dataDirOf(folder, options);
    std::error_code ignoredError;
    if (!std::filesystem::is_directory(dataDir, ignoredError))
        catalog::createDir(fileSystem, dataDir);
    catalog::ScanContext context { dataDir, settings, lister, fileSystem, box, dates, &progress };

    const auto result = catalog::generateCatalog(context, path, name);
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
    std::printf("%s：%llu 个目录，%llu 个文件，%llu 字节，%.2f 秒\n", result->xmlPath.c_str(),
        static_cast<unsigned long long>(totals.directories), static_cast<unsigned long long>(totals.files),
        static_cast<unsigned long long>(totals.bytes), progress.secondsSinceStart());
    return 0;
}

int listCommand(const app::ProgramFolder& folder, const CliOptions& options)
{
    if (!options.arguments.empty()) {
        printUsage();
        return kExitUsage;
    }
    const std::string dataDir = dataDirOf(folder, options);
    std::error_code error;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dataDir, error)) {
        const std::string fileName = entry.path().filename().string();
        if (fileName.starts_with('.') || fileName.size() <= 4)
            continue;
        std::string ext = fileName.substr(fileName.size() - 4);
        std::ranges::transform(ext, ext.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
        if (ext == ".xml")
            names.push_back(catalog::getShortName(fileName));
    }
    // No Data folder yet means no catalogs yet.
    if (error && error != std::errc::no_such_file_or_directory) {
        printError("无法读取数据目录“" + dataDir + "”：" + error.message());
        return kExitFailure;
    }
    std::ranges::sort(names);
    for (const auto& name : names)
        std::printf("%s\n", name.c_str());
    return 0;
}

void printRows(const search::FileList& list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const search::FileRow row = list.row(i);
        std::printf("%s\t%s\t%s\t%s\t%s\n", row.name.c_str(), row.size.c_str(), row.date.c_str(), row.location.c_str(),
            row.catalog.c_str());
    }
}

// The catalogs as the window loads them at start-up, in the same order.
struct LoadedCatalogs {
    LoadedCatalogs(const std::string& dataDir, platform::IMessageBox& box)
        : browser(dataDir, box)
    {
        browser.getAllXmlToTree(dataDir);
    }
    browse::CatalogBrowser browser;
    search::FileList list;
};

int searchCommand(const app::ProgramFolder& folder, const CliOptions& options)
{
    if (options.arguments.size() != 1) {
        printUsage();
        return kExitUsage;
    }
    ConsoleMessageBox box(false);
    LoadedCatalogs loaded(dataDirOf(folder, options), box);
    const std::string& text = options.arguments[0];
    if (text.find_first_not_of(' ') == std::string::npos) {
        search::cmdFind_Click(loaded.browser, loaded.list, text, true); // shows why
        return kExitFailure;
    }
    if (options.in) {
        if (!loaded.browser.ifXmlLoaded(*options.in)) {
            printError("没有名为“" + *options.in + "”的目录。");
            return kExitFailure;
        }
        loaded.browser.setCurrentCatalogName(*options.in);
    }
    search::cmdFind_Click(loaded.browser, loaded.list, text, !options.in.has_value());
    printRows(loaded.list);
    return 0;
}

int lsCommand(const app::ProgramFolder& folder, const CliOptions& options)
{
    if (options.arguments.empty() || options.arguments.size() > 2) {
        printUsage();
        return kExitUsage;
    }
    ConsoleMessageBox box(false);
    LoadedCatalogs loaded(dataDirOf(folder, options), box);
    const std::string& name = options.arguments[0];
    if (!loaded.browser.ifXmlLoaded(name)) {
        printError("没有名为“" + name + "”的目录。");
        return kExitFailure;
    }
    const auto& tree = loaded.browser.tree();
    browse::NodeId node = loaded.browser.getXmlIndex(name);
    if (options.arguments.size() == 2) {
        std::string_view rest = options.arguments[1];
        while (!rest.empty()) {
            const auto slash = rest.find('/');
            const std::string_view title = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (title.empty())
                continue;
            const auto& children = tree.children(node);
            const auto child = std::ranges::find_if(children, [&](browse::NodeId c) { return tree.label(c) == title; });
            if (child == children.end()) {
                printError("目录“" + name + "”中没有“" + options.arguments[1] + "”。");
                return kExitFailure;
            }
            node = *child;
        }
    }
    loaded.browser.tree().select(node);
    search::FreshRightList(loaded.browser, loaded.list);
    printRows(loaded.list);
    return 0;
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
    const app::ProgramFolder folder(*folderPath);
    if (options->command == "scan")
        return scanCommand(folder, *options);
    if (options->command == "list")
        return listCommand(folder, *options);
    if (options->command == "search")
        return searchCommand(folder, *options);
    if (options->command == "ls")
        return lsCommand(folder, *options);
    printError("未知的命令：" + options->command);
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
