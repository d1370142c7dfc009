// Listing the disc root of a catalog with 100,000 files directly in it, as a click on the root
// node does (load, find the directory, fill the file list with every cell), against the bare
// engine: loading the same file and selecting its File elements.

#include "loadedcatalogs.h"
#include "medianreporter.h"
#include "syntheticcatalogs.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <vector>

#include "search/filelist.h"
#include "search/filelisting.h"
#include "support/temporaryfolder.h"

namespace {

using namespace mellowby;

constexpr std::size_t kFiles = 100000;
constexpr const char* kName = "flat";

// In a Data folder of its own, for the whole run.
struct FlatCatalog {
    tests::TemporaryFolder data { std::filesystem::temp_directory_path(), "mellowby-bench" };
    std::string path;

    FlatCatalog()
    {
        std::vector<platform::DirEntry> entries;
        entries.reserve(kFiles);
        for (std::size_t n = 0; n < kFiles; ++n) {
            // A few names in Chinese, as on a real disc; sizes of a few KB to a few MB.
            std::string name = (n % 20 == 0 ? "照片_" : "IMG_") + std::to_string(100000 + n) + ".jpg";
            entries.push_back(
                tests::CatalogMaker::file(std::move(name), (n * 7919) % (8u << 20), bench::creationTime(n)));
        }
        tests::CatalogMaker maker(data.path());
        maker.directory("", std::move(entries));
        bench::writeCatalog(maker, kName);
        path = data / (std::string(kName) + ".xml");
    }
};

const FlatCatalog& catalogFile()
{
    static const FlatCatalog instance;
    return instance;
}

void BM_ListRoot(benchmark::State& state)
{
    bench::LoadedBrowser loaded(catalogFile().data.path());
    search::FileList list;
    for (auto _ : state) {
        if (!search::getAllXmlNodeByName(loaded.browser, list, kName, kName, {}) || list.size() != kFiles) {
            state.SkipWithError("the listing is incomplete");
            break;
        }
        benchmark::DoNotOptimize(list.size());
    }
}

void BM_BareLoadAndSelect(benchmark::State& state)
{
    bench::loadAndSelectAll(state, { catalogFile().path }, kFiles);
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
    return bench::runAgainstBare(argc, argv, "BM_ListRoot", "BM_BareLoadAndSelect");
}
