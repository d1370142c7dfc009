// A search of all loaded catalogs, 10 catalogs of 100,000 files each, for a text that about one
// name in ten holds, against the bare engine: loading the same catalogs and selecting //File.

#include "loadedcatalogs.h"
#include "medianreporter.h"
#include "syntheticcatalogs.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <vector>

#include "search/filelist.h"
#include "search/filesearch.h"
#include "support/temporaryfolder.h"

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

// In a Data folder of their own, for the whole run.
struct Catalogs {
    tests::TemporaryFolder data { std::filesystem::temp_directory_path(), "mellowby-bench" };
    std::vector<std::string> paths;
    std::size_t hits = 0;

    Catalogs()
    {
        using tests::CatalogMaker;
        std::size_t n = 0;
        for (std::size_t c = 0; c < kCatalogs; ++c) {
            CatalogMaker maker(data.path());
            maker.setRoot("/media/disc" + std::to_string(c));
            std::vector<platform::DirEntry> top;
            for (std::size_t d = 0; d < kDirectories; ++d) {
                const std::string folder = "目录 " + std::to_string(d);
                top.push_back(CatalogMaker::dir(folder, bench::creationTime(d)));
                std::vector<platform::DirEntry> files;
                files.reserve(kFilesPerDirectory);
                for (std::size_t f = 0; f < kFilesPerDirectory; ++f, ++n) {
                    files.push_back(CatalogMaker::file(fileName(n), (n * 7919) % (8u << 20), bench::creationTime(n)));
                    hits += n % 10 == 3 ? 1 : 0;
                }
                maker.directory(folder, std::move(files));
            }
            maker.directory("", std::move(top));
            const std::string name = "disc " + std::to_string(c);
            bench::writeCatalog(maker, name);
            paths.push_back(data / (name + ".xml"));
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
    bench::LoadedBrowser loaded(source.data.path());
    search::FileList list;
    for (auto _ : state) {
        search::cmdFind_Click(
            loaded.indexes, loaded.box, list, "holiday", search::SearchScope::of(loaded.browser, true));
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
    bench::loadAndSelectAll(state, catalogs().paths, kFilesPerCatalog);
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
    return bench::runAgainstBare(argc, argv, "BM_SearchAll", "BM_BareLoadAndSelectAll");
}
