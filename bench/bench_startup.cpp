// Start-up with 200 catalogs totalling 20,000 directories: filling the tree and the collection
// (getAllXmlToTree) against reading the same index twins alone, in the same process.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/settings.h"
#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "catalog/datetext.h"
#include "catalog/scanner.h"
#include "platform/directorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/messagebox.h"

namespace {

namespace fs = std::filesystem;

constexpr int kCatalogs = 200;
constexpr int kDirectoriesPerCatalog = 100;

class TreeLister final : public mellowby::platform::IDirectoryLister {
public:
    std::map<std::string, std::vector<mellowby::platform::DirEntry>> directories;
    std::expected<void, mellowby::platform::Error> list(
        const std::string& path, std::vector<mellowby::platform::DirEntry>& out) override
    {
        const auto found = directories.find(path);
        if (found != directories.end())
            out = found->second;
        return {};
    }
};

class SilentBox final : public mellowby::platform::IMessageBox {
public:
    mellowby::platform::MessageAnswer show(const mellowby::platform::MessageRequest&) override
    {
        return mellowby::platform::MessageAnswer::Yes;
    }
    std::optional<std::string> prompt(const std::string&, const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
};

// 200 catalogs, each a disc of 100 directories ten to a level, with a few files in each.
const fs::path& dataDir()
{
    static const fs::path dir = [] {
        fs::path data = fs::temp_directory_path() / ("mellowby-bench-startup-" + std::to_string(::getpid()));
        fs::create_directories(data);
        TreeLister lister;
        const std::string root = "/media/cdrom";
        for (int d = 0; d < kDirectoriesPerCatalog; ++d) {
            const std::string parent = d < 10 ? root : root + "/目录 " + std::to_string(d / 10 - 1);
            lister.directories[parent].push_back({ "目录 " + std::to_string(d), true, false, 0, 1079308800 });
            for (int f = 0; f < 5; ++f)
                lister.directories[parent + "/目录 " + std::to_string(d)].push_back(
                    { "file " + std::to_string(f) + ".jpg", false, false, 4096, 1079308800 });
        }
        SilentBox box;
        const mellowby::app::Settings settings;
        mellowby::platform::LinuxFileSystem fileSystem;
        const mellowby::catalog::DateFormatter dates("zh_CN");
        mellowby::catalog::ScanContext context { data.string(), settings, lister, fileSystem, box, dates, nullptr };
        for (int c = 0; c < kCatalogs; ++c)
            (void)mellowby::catalog::generateCatalog(context, root, "光盘 " + std::to_string(c));
        return data;
    }();
    return dir;
}

template <typename Work> double medianSeconds(int runs, Work work)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto begin = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    std::ranges::sort(times);
    return times[times.size() / 2];
}

} // namespace

int main()
{
    constexpr int kRuns = 7;
    std::vector<std::string> twins;
    for (const auto& entry : fs::directory_iterator(dataDir())) {
        if (entry.path().extension() == ".idx")
            twins.push_back(entry.path().string());
    }
    const double bare = medianSeconds(kRuns, [&] {
        for (const auto& twin : twins) {
            const auto document = mellowby::catalog::loadCatalog(twin);
            if (!document.loaded())
                std::abort();
        }
    });
    SilentBox box;
    std::size_t loaded = 0;
    const double startUp = medianSeconds(kRuns, [&] {
        mellowby::browse::CatalogBrowser browser(dataDir().string(), box);
        browser.getAllXmlToTree(dataDir().string());
        loaded = browser.collection().count();
    });
    std::printf("%zu catalogs, %d directories in all\n", loaded, kCatalogs * kDirectoriesPerCatalog);
    std::printf("reading the index twins alone: median %.1f ms over %d runs\n", bare * 1e3, kRuns);
    std::printf("filling tree and collection:   median %.1f ms over %d runs\n", startUp * 1e3, kRuns);
    std::printf("start-up / bare read ratio: %.2f\n", startUp / bare);
    std::error_code ignored;
    fs::remove_all(dataDir(), ignored);
    return loaded == static_cast<std::size_t>(kCatalogs) ? 0 : 1;
}
