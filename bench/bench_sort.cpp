// A click on a column header of a list of 1,000,000 search hits: the rows sorted by name and by
// location in the collation order of zh_CN, and by size, against a plain sort of the same names
// by their bytes.

#include <algorithm>
#include <benchmark/benchmark.h>
#include <string>
#include <vector>

#include "search/filelist.h"

namespace {

using namespace mellowby;

constexpr std::size_t kRows = 1000000;

// Names as on real discs: mostly Latin with digits, one in ten Chinese; 1,000 folders.
std::string nameOf(std::size_t n)
{
    const std::size_t mixed = (n * 7919) % kRows;
    return (mixed % 10 == 0 ? "年度报告_" : mixed % 3 == 0 ? "IMG_" : "photo ") + std::to_string(mixed) + ".jpg";
}

void fill(search::FileList& list)
{
    list.clear();
    for (std::size_t n = 0; n < kRows; ++n) {
        const std::string folder = "/media/cdrom/目录" + std::to_string(n % 1000) + "/";
        list.appendRow(nameOf(n), std::to_string((n * 31) % 100000) + "KB", "2004年3月15日", folder, "光盘");
    }
    list.finishFill();
}

void sortByColumn(benchmark::State& state, std::size_t column)
{
    search::FileList list("zh_CN");
    for (auto _ : state) {
        state.PauseTiming();
        fill(list);
        // The first click sorts ascending.
        while (list.sortState().sorted && list.sortState().order == search::SortOrder::Ascending)
            list.columnClick(column);
        state.ResumeTiming();
        list.columnClick(column);
        benchmark::DoNotOptimize(list.size());
    }
}

void BM_SortByName(benchmark::State& state)
{
    sortByColumn(state, 1);
}
void BM_SortByLocation(benchmark::State& state)
{
    sortByColumn(state, 4);
}
void BM_SortBySize(benchmark::State& state)
{
    sortByColumn(state, 2);
}

void BM_BareByteSortOfNames(benchmark::State& state)
{
    std::vector<std::string> names;
    for (std::size_t n = 0; n < kRows; ++n)
        names.push_back(nameOf(n));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<std::string> copy = names;
        state.ResumeTiming();
        std::ranges::stable_sort(copy);
        benchmark::DoNotOptimize(copy.data());
    }
}

} // namespace

BENCHMARK(BM_BareByteSortOfNames)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByName)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortByLocation)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortBySize)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
