// Listing the disc root of a catalog with 100,000 files directly in it, as a click on the root
// node does (load, find the directory, fill the file list with every cell), against the bare
// engine: loading the same file and selecting its File elements.

#include "catalogfile.h"
#include "names/namesindexcache.h"
#include "syntheticcatalogs.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "search/filelist.h"
#include "search/filelisting.h"

namespace {

using namespace mellowby;

constexpr std::size_t kFiles = 100000;
constexpr const char* kName = "flat";

struct FlatCatalog {
    bench::DataFolder data;
    std::string path;

    FlatCatalog()
    {
        std::vector<platform::DirEntry> entries;
        entries.reserve(kFiles);
        for (std::size_t n = 0; n < kFiles; ++n) {
            // A few names in Chinese, as on a real disc; sizes of a few KB to a few MB.
            std::string name = (n % 20 == 0 ? "照片_" : "IMG_") + std::to_string(100000 + n) + ".jpg";
            entries.push_back(bench::fileEntry(std::move(name), (n * 7919) % (8u << 20), bench::creationTime(n)));
        }
        bench::MemoryLister lister;
        lister.add("/media/cdrom", std::move(entries));
        data.write(lister, "/media/cdrom", kName);
        path = data.path() + "/" + kName + ".xml";
    }
};

const FlatCatalog& catalogFile()
{
    static const FlatCatalog instance;
    return instance;
}

void BM_ListRoot(benchmark::State& state)
{
    const FlatCatalog& source = catalogFile();
    bench::QuietBox box;
    platform::LinuxFileSystem fileSystem;
    const catalog::CatalogStore store(source.data.path(), fileSystem);
    const names::NamesIndexCache indexes(store, names::userCacheFolder());
    browse::CatalogBrowser browser(indexes, box);
    browser.getAllXmlToTree();
    search::FileList list;
    for (auto _ : state) {
        if (!search::getAllXmlNodeByName(browser, list, kName, kName, {}) || list.size() != kFiles) {
            state.SkipWithError("the listing is incomplete");
            break;
        }
        benchmark::DoNotOptimize(list.size());
    }
}

void BM_BareLoadAndSelect(benchmark::State& state)
{
    const FlatCatalog& source = catalogFile();
    for (auto _ : state) {
        const catalog::CatalogDocument document = bench::loadCatalogFile(source.path);
        const pugi::xpath_node_set files = catalog::selectAllFiles(document);
        if (files.size() != kFiles) {
            state.SkipWithError("the catalog did not load whole");
            break;
        }
        benchmark::DoNotOptimize(files.first());
    }
}

} // namespace

BENCHMARK(BM_BareLoadAndSelect)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ListRoot)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("BM_ListRoot", "BM_BareLoadAndSelect");
    benchmark::Shutdown();
    return 0;
}
