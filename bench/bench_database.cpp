// Times `mellowby-cli scan` that writes the catalog's database against the same scan with
// --no-database, on the same warm tree, runs taken in turns, and prints the medians, their ratio and
// the database's bytes per file.
//
//   bench_database [--files N] [--runs N] [--tree DIR]

#include "benchoptions.h"
#include "commandtimer.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runSeconds;

namespace {

// The files under tree, the entries the database has a row for besides its folders.
std::size_t filesUnder(const fs::path& tree)
{
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_directory())
            ++files;
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    const mellowby::bench::ToolBenchmark setup(argc, argv, 1000000);
    const int runs = setup.runs;
    const std::vector<std::string> with
        = { setup.cli, "scan", "--force", "--data", setup.data, setup.tree.string(), "bench" };
    std::vector<std::string> without = with;
    without.insert(without.begin() + 2, "--no-database");
    runSeconds(without); // warm the caches for both
    runSeconds(with);
    std::vector<double> withTimes;
    std::vector<double> withoutTimes;
    for (int run = 0; run < runs; ++run) {
        withoutTimes.push_back(runSeconds(without));
        withTimes.push_back(runSeconds(with));
    }
    const double withMedian = median(withTimes);
    const double withoutMedian = median(withoutTimes);
    const std::size_t files = filesUnder(setup.tree);
    const auto databaseBytes = static_cast<double>(fs::file_size(setup.data + "/bench.sqlite"));
    std::printf("scan without the database: median %.3f s over %d runs\n", withoutMedian, runs);
    std::printf("scan with the database:    median %.3f s over %d runs\n", withMedian, runs);
    std::printf("with / without ratio: %.3f (target at most 1.15)\n", withMedian / withoutMedian);
    std::printf("database: %.1f MB for %zu files, %.1f bytes a file (target at most 64); catalog %.1f MB\n",
        databaseBytes / 1e6, files, databaseBytes / static_cast<double>(files),
        static_cast<double>(fs::file_size(setup.data + "/bench.xml")) / 1e6);
    return 0;
}
