// Start-up with 200 catalogs totalling 20,000 directories: filling the tree and the collection
// (getAllXmlToTree) against reading the same index twins alone, and against the same start-up
// with every twin read through the document model, as it was before, in the same process.

#include "catalogfile.h"
#include "commandtimer.h"
#include "startupcatalogs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "fakes/unattendedbox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "support/temporaryfolder.h"

namespace {

namespace fs = std::filesystem;

template <typename Work> double medianSeconds(int runs, Work work)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto begin = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    return mellowby::bench::median(std::move(times));
}

} // namespace

int main()
{
    constexpr int kRuns = 7;
    const mellowby::tests::TemporaryFolder data(fs::temp_directory_path(), "mellowby-bench");
    mellowby::bench::writeStartupCatalogs(data.path());
    std::vector<std::string> twins;
    for (const auto& entry : fs::directory_iterator(data.path())) {
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
    mellowby::fakes::UnattendedBox box;
    std::size_t loaded = 0;
    const double startUp = medianSeconds(kRuns, [&] {
        mellowby::platform::LinuxFileSystem fileSystem;
        const mellowby::catalog::CatalogStore store(data.path(), fileSystem);
        const mellowby::names::NamesIndexCache indexes(store, std::nullopt);
        mellowby::browse::CatalogBrowser browser(indexes, box);
        browser.getAllXmlToTree();
        loaded = browser.collection().count();
    });
    const double throughModel = medianSeconds(kRuns, [&] {
        mellowby::platform::LinuxFileSystem fileSystem;
        const mellowby::catalog::CatalogStore store(data.path(), fileSystem);
        const mellowby::names::NamesIndexCache indexes(store, std::nullopt, true);
        mellowby::browse::CatalogBrowser browser(indexes, box);
        browser.getAllXmlToTree();
    });
    std::printf("%zu catalogs, %d directories in all\n", loaded,
        mellowby::bench::kStartupCatalogs * mellowby::bench::kStartupDirectoriesPerCatalog);
    std::printf("reading the index twins alone: median %.1f ms over %d runs\n", bare * 1e3, kRuns);
    std::printf("filling tree and collection:   median %.1f ms over %d runs\n", startUp * 1e3, kRuns);
    std::printf("through the document model:    median %.1f ms over %d runs\n", throughModel * 1e3, kRuns);
    std::printf("start-up / bare read ratio: %.2f\n", startUp / bare);
    std::printf("start-up / through the model ratio: %.2f\n", startUp / throughModel);
    return loaded == static_cast<std::size_t>(mellowby::bench::kStartupCatalogs) ? 0 : 1;
}
