// Times `mellowby-cli search` and `ls` through the names index against the references on the same
// catalog in the same run, and prints medians and their ratios:
//   - a common word against `grep -ci WORD catalog.xml`, both with their output read from a pipe;
//   - a text about half the files hold, and the first search of a catalog without an index,
//     against the document model (`--no-index`, how every search read catalogs before);
//   - a scan that also writes the index against one that does not;
//   - listing the root folder, and the peak memory of each;
// on the deterministic tree, then on a catalog of ten million files written here directly.
//
//   bench_names_index [--files N] [--runs N] [--tree DIR] [--big-files N] [--scan-runs N]
//   (--big-files 0 and --scan-runs 0 leave those parts out)

#include "benchoptions.h"
#include "commandtimer.h"
#include "syntheticcatalog.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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
    double peakBytes = 0; // the highest of the runs
};

// Runs each command once to warm the caches, then runs times in turn, before() ahead of each run.
std::vector<Medians> measure(
    const std::vector<std::vector<std::string>>& commands, int runs, const std::function<void()>& before = [] {})
{
    std::vector<std::vector<double>> seconds(commands.size());
    std::vector<Medians> result(commands.size());
    for (const auto& command : commands) {
        before();
        runPiped(command);
    }
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            before();
            const RunFigures figures = runPiped(commands[i]);
            seconds[i].push_back(figures.seconds);
            result[i].peakBytes = std::max(result[i].peakBytes, figures.peakBytes);
        }
    }
    for (std::size_t i = 0; i < commands.size(); ++i)
        result[i].seconds = median(seconds[i]);
    return result;
}

std::vector<Medians> concat(std::vector<Medians> first, const std::vector<Medians>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

void line(const char* what, const Medians& figures)
{
    std::printf("  %-44s %8.3f s  peak %7.1f MB\n", what, figures.seconds, figures.peakBytes / kMegabyte);
}

void verdict(const char* what, double value, double target, const char* unit)
{
    std::printf("  => %-41s %8.3f%s (target at most %.3f%s) %s\n", what, value, unit, target, unit,
        value <= target ? "met" : "NOT MET");
}

} // namespace

int main(int argc, char** argv)
{
    const mellowby::bench::ToolBenchmark setup(argc, argv, 1000000);
    const std::size_t bigFiles = setup.options.count("--big-files", 10000000);
    const int runs = setup.runs;
    const int scanRuns = setup.options.number("--scan-runs", runs);
    const std::string& cli = setup.cli;
    const fs::path& tree = setup.tree;
    const fs::path cache = setup.cache;
    const fs::path data = setup.data;
    const std::string& dataArg = setup.data;
    const fs::path catalog = data / "bench.xml";
    const auto dropIndexes = [&] {
        std::error_code ignored;
        fs::remove_all(cache / "mellowby", ignored);
    };

    if (scanRuns > 0) {
        std::printf("\nScan of %s, %d runs, medians\n", tree.c_str(), scanRuns);
        const auto scans
            = measure({ { cli, "scan", "--force", "--data", dataArg, tree.string(), "bench" },
                          { cli, "scan", "--force", "--no-index", "--data", dataArg, tree.string(), "bench" } },
                scanRuns);
        line("scan, writing the names index", scans[0]);
        line("scan without it", scans[1]);
        verdict("scan with index / without", scans[0].seconds / scans[1].seconds, 1.05, "x");
    }
    // The catalog the rest reads, with its index.
    runPiped({ cli, "scan", "--force", "--data", dataArg, tree.string(), "bench" });
    const double catalogBytes = static_cast<double>(fs::file_size(catalog));
    std::printf("catalog %.1f MB\n", catalogBytes / kMegabyte);

    std::printf("\nSearches and listing, %d runs, medians\n", runs);
    const auto common = measure({ { cli, "search", "report", "--in", "bench", "--data", dataArg },
                                    { "grep", "-ci", "report", catalog.string() } },
        runs);
    line("search report (index)", common[0]);
    line("grep -ci report catalog.xml", common[1]);
    verdict("search report / grep", common[0].seconds / common[1].seconds, 0.5, "x");

    // The document model's runs apart: a process of hundreds of megabytes slows the next one down.
    const auto half = concat(measure({ { cli, "search", "t", "--in", "bench", "--data", dataArg } }, runs),
        measure({ { cli, "search", "t", "--in", "bench", "--no-index", "--data", dataArg } }, runs));
    line("search t, half the files (index)", half[0]);
    line("search t (document model, as before)", half[1]);
    verdict("search t, index / document model", half[0].seconds / half[1].seconds, 0.3, "x");

    const auto listing = concat(measure({ { cli, "ls", "bench", "--data", dataArg } }, runs),
        measure({ { cli, "ls", "bench", "--no-index", "--data", dataArg } }, runs));
    line("ls bench, the root (index)", listing[0]);
    line("ls bench (document model, as before)", listing[1]);
    verdict("ls of the root", listing[0].seconds * 1000, 20, " ms");
    const double peak = std::max({ common[0].peakBytes, half[0].peakBytes, listing[0].peakBytes });
    verdict("peak of searches and listing", peak / kMegabyte, 64, " MB");

    const auto first = measure({ { cli, "search", "report", "--in", "bench", "--data", dataArg } }, runs, dropIndexes);
    const auto direct
        = measure({ { cli, "search", "report", "--in", "bench", "--no-index", "--data", dataArg } }, runs);
    line("first search, the index made from the file", first[0]);
    line("search report (document model, as before)", direct[0]);
    verdict("first search / document model", first[0].seconds / direct[0].seconds, 1.0, "x");
    verdict("first search's peak / catalog size", first[0].peakBytes / catalogBytes, 1.5, "x");

    if (bigFiles > 0) {
        std::printf("\nA catalog of %zu files written directly, %d runs, medians\n", bigFiles, runs);
        mellowby::bench::writeSyntheticCatalog(data, "ten", bigFiles);
        std::printf("catalog %.1f MB\n", static_cast<double>(fs::file_size(data / "ten.xml")) / kMegabyte);
        const RunFigures made = runPiped({ cli, "search", "report", "--in", "ten", "--data", dataArg });
        std::printf("  %-44s %8.3f s  peak %7.1f MB\n", "first search, the index made", made.seconds,
            made.peakBytes / kMegabyte);
        const auto big = measure(
            { { cli, "search", "report", "--in", "ten", "--data", dataArg }, { cli, "ls", "ten", "--data", dataArg } },
            runs);
        line("search report (index)", big[0]);
        line("ls ten, the root (index)", big[1]);
        verdict("warm search", big[0].seconds, 0.3, " s");
        verdict("listing", big[1].seconds * 1000, 50, " ms");
        verdict("peak", std::max(big[0].peakBytes, big[1].peakBytes) / kMegabyte, 256, " MB");
    }
    return 0;
}
