// A search of all loaded catalogs, 10 catalogs of 100,000 files each, for a text that about one
// name in ten holds, against the bare engine: loading the same catalogs and selecting //File.

#include "catalogfile.h"
#include "names/namesindexcache.h"
#include "syntheticcatalogs.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "search/filelist.h"
#include "search/filesearch.h"

namespace {

using namespace mellowby;

constexpr std::size_t kCatalogs = 10;
constexpr std::size_t kDirectories = 100;
constexpr std::size_t kFilesPerDirectory = 1000;
constexpr std::size_t kFilesPerCatalog = kDirectories * kFilesPerDirectory;

// One name in ten holds "holiday" (in some letter case); one in twenty is in Chinese.
std::string fileName(std::size_t n)
{
    std::string name = n % 20 == 0 ? "照片_" : "IMG_";
    if (n % 10 == 3)
        name += n % 20 == 3 ? "Holiday_" : "HOLIDAY_";
    return name + std::to_string(100000 + n) + (n % 3 == 0 ? ".JPG" : ".jpg");
}

struct Catalogs {
    bench::DataFolder data;
    std::vector<std::string> paths;
    std::size_t hits = 0;

    Catalogs()
    {
        std::size_t n = 0;
        for (std::size_t c = 0; c < kCatalogs; ++c) {
            bench::MemoryLister lister;
            const std::string root = "/media/disc" + std::to_string(c);
            std::vector<platform::DirEntry> top;
            for (std::size_t d = 0; d < kDirectories; ++d) {
                const std::string folder = "目录 " + std::to_string(d);
                top.push_back(bench::directoryEntry(folder, bench::creationTime(d)));
                std::vector<platform::DirEntry> files;
                files.reserve(kFilesPerDirectory);
                for (std::size_t f = 0; f < kFilesPerDirectory; ++f, ++n) {
                    files.push_back(bench::fileEntry(fileName(n), (n * 7919) % (8u << 20), bench::creationTime(n)));
                    hits += n % 10 == 3 ? 1 : 0;
                }
                lister.add(root + "/" + folder, std::move(files));
            }
            lister.add(root, std::move(top));
            const std::string name = "disc " + std::to_string(c);
            data.write(lister, root, name);
            paths.push_back(data.path() + "/" + name + ".xml");
        }
    }
};

const Catalogs& catalogs()
{
    static const Catalogs instance;
    return instance;
}

void BM_SearchAll(benchmark::State& state)
{
    const Catalogs& source = catalogs();
    bench::QuietBox box;
    platform::LinuxFileSystem fileSystem;
    const catalog::CatalogStore store(source.data.path(), fileSystem);
    const names::NamesIndexCache indexes(store, names::userCacheFolder());
    browse::CatalogBrowser browser(indexes, box);
    browser.getAllXmlToTree();
    search::FileList list;
    for (auto _ : state) {
        search::cmdFind_Click(indexes, box, list, "holiday", search::SearchScope::of(browser, true));
        if (list.size() != source.hits) {
            state.SkipWithError("the search missed hits");
            break;
        }
        benchmark::DoNotOptimize(list.size());
    }
    state.counters["hits"] = static_cast<double>(list.size());
}

void BM_BareLoadAndSelectAll(benchmark::State& state)
{
    const Catalogs& source = catalogs();
    for (auto _ : state) {
        for (const std::string& path : source.paths) {
            const catalog::CatalogDocument document = bench::loadCatalogFile(path);
            const pugi::xpath_node_set files = catalog::selectAllFiles(document);
            if (files.size() != kFilesPerCatalog) {
                state.SkipWithError("a catalog did not load whole");
                break;
            }
            benchmark::DoNotOptimize(files.first());
        }
    }
}

} // namespace

BENCHMARK(BM_BareLoadAndSelectAll)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("BM_SearchAll", "BM_BareLoadAndSelectAll");
    benchmark::Shutdown();
    return 0;
}
