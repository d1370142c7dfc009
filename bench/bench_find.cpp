// Times `mellowby-cli find` of a few queries against `search jpg` on the same catalog in the same
// run, warm (the names index made before), and prints medians, ratios and peak memory. The
// catalog is written directly, as a scan of the synthetic tree's words and shape would write it;
// it has no database, so sizes come from its kilobyte texts and days from its date texts.
//
//   bench_find [--files N] [--runs N]      (10,000,000 files and 5 runs unless given)

#include "benchoptions.h"
#include "commandtimer.h"
#include "syntheticcatalog.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::RunFigures;
using mellowby::bench::runPiped;

namespace {

constexpr double kMegabyte = 1024.0 * 1024.0;

struct Medians {
    double seconds = 0;
    double processorSeconds = 0; // varies less than the wall on a machine shared with other work
    double peakBytes = 0; // the highest of the runs
};

// Runs each command once to warm the caches, then all of them in turn, runs times.
std::vector<Medians> measure(const std::vector<std::vector<std::string>>& commands, int runs)
{
    std::vector<std::vector<double>> seconds(commands.size());
    std::vector<std::vector<double>> processor(commands.size());
    std::vector<Medians> result(commands.size());
    for (const auto& command : commands)
        runPiped(command);
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const RunFigures figures = runPiped(commands[i]);
            seconds[i].push_back(figures.seconds);
            processor[i].push_back(figures.processorSeconds);
            result[i].peakBytes = std::max(result[i].peakBytes, figures.peakBytes);
        }
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        result[i].seconds = median(seconds[i]);
        result[i].processorSeconds = median(processor[i]);
    }
    return result;
}

void verdict(const char* what, double value, double target, const char* unit)
{
    std::printf("  => %-46s %8.3f%s (target at most %.3f%s) %s\n", what, value, unit, target, unit,
        value <= target ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char** argv)
{
    const mellowby::bench::ToolBenchmark setup(argc, argv, 0);
    const std::size_t files = setup.options.count("--files", 10000000);
    const std::string& cli = setup.cli;
    const std::string& data = setup.data;

    std::printf("A catalog of %zu files written directly, %d runs, medians\n", files, setup.runs);
    mellowby::bench::writeSyntheticCatalog(data, "big", files);
    std::printf("catalog %.1f MB\n", static_cast<double>(fs::file_size(fs::path(data) / "big.xml")) / kMegabyte);
    const RunFigures made = runPiped({ cli, "search", "jpg", "--in", "big", "--data", data });
    std::printf("  %-48s %8.3f s  peak %7.1f MB\n", "first search, the names index made", made.seconds,
        made.peakBytes / kMegabyte);

    const std::vector<std::string> queries = { "ext:jpg size:>4kb dm:2026", "jpg", "ext:jpg;gif !report",
        "path:report size:<1mb", "regex:_1\\d*5\\.jpg$" };
    std::vector<std::vector<std::string>> commands = { { cli, "search", "jpg", "--in", "big", "--data", data } };
    for (const std::string& query : queries)
        commands.push_back({ cli, "find", query, "--in", "big", "--data", data });
    const auto figures = measure(commands, setup.runs);

    const Medians& search = figures[0];
    std::printf("  %-40s %8s %8s %9s  %s\n", "", "wall", "processor", "peak", "ratio to search jpg (wall, processor)");
    std::printf("  %-40s %7.3fs %8.3fs %7.1fMB\n", "search jpg", search.seconds, search.processorSeconds,
        search.peakBytes / kMegabyte);
    for (std::size_t i = 0; i < queries.size(); ++i) {
        const Medians& find = figures[i + 1];
        const std::string what = "find '" + queries[i] + "'";
        std::printf("  %-40s %7.3fs %8.3fs %7.1fMB  %.2fx %.2fx\n", what.c_str(), find.seconds, find.processorSeconds,
            find.peakBytes / kMegabyte, find.seconds / search.seconds, find.processorSeconds / search.processorSeconds);
    }
    const Medians& target = figures[1];
    verdict("find 'ext:jpg size:>4kb dm:2026' / search jpg", target.seconds / search.seconds, 1.2, "x");
    verdict("the same in processor time", target.processorSeconds / search.processorSeconds, 1.2, "x");
    verdict("find 'ext:jpg size:>4kb dm:2026'", target.seconds, 0.3, " s");
    verdict("its peak", target.peakBytes / kMegabyte, 64, " MB");
    return 0;
}
