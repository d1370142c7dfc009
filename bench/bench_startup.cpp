// Start-up with 200 catalogs totalling 20,000 directories: filling the tree and the collection
// (getAllXmlToTree) against reading the same index twins alone, in the same process.

#include "catalogfile.h"
#include "names/namesindexcache.h"
#include "scan/scanner.h"
#include "startupcatalogs.h"

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
#include "platform/directorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/messagebox.h"

namespace {

namespace fs = std::filesystem;

const fs::path& dataDir()
{
    static const fs::path dir = [] {
        fs::path data = fs::temp_directory_path() / ("mellowby-bench-startup-" + std::to_string(::getpid()));
        mellowby::bench::writeStartupCatalogs(data);
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
            const auto document = mellowby::bench::loadCatalogFile(twin);
            if (!document.loaded())
                std::abort();
        }
    });
    mellowby::bench::SilentBox box;
    std::size_t loaded = 0;
    const double startUp = medianSeconds(kRuns, [&] {
        mellowby::platform::LinuxFileSystem fileSystem;
        const mellowby::catalog::CatalogStore store(dataDir().string(), fileSystem);
        const mellowby::names::NamesIndexCache indexes(store, std::nullopt);
        mellowby::browse::CatalogBrowser browser(indexes, box);
        browser.getAllXmlToTree();
        loaded = browser.collection().count();
    });
    std::printf("%zu catalogs, %d directories in all\n", loaded,
        mellowby::bench::kStartupCatalogs * mellowby::bench::kStartupDirectoriesPerCatalog);
    std::printf("reading the index twins alone: median %.1f ms over %d runs\n", bare * 1e3, kRuns);
    std::printf("filling tree and collection:   median %.1f ms over %d runs\n", startUp * 1e3, kRuns);
    std::printf("start-up / bare read ratio: %.2f\n", startUp / bare);
    std::error_code ignored;
    fs::remove_all(dataDir(), ignored);
    return loaded == static_cast<std::size_t>(mellowby::bench::kStartupCatalogs) ? 0 : 1;
}
