// Times writing a catalog the way the generation dialog does it (the walk on a thread of its own,
// its progress polled from the window's thread at the dialog's timer rate) against
// `mellowby-cli scan` of the same warm tree, and prints the medians and their ratio. The
// progress display must cost the walk nothing, so the ratio should stay at or below 1.1.
//
//   bench_generate [--files N] [--runs N] [--tree DIR]

#include "benchoptions.h"
#include "commandtimer.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/programfolder.h"
#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/unattendedbox.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "scan/backgroundscan.h"

namespace {

namespace fs = std::filesystem;
using namespace mellowby;

struct DialogRun {
    double seconds = 0;
    std::uint64_t polls = 0;
};

// What the dialog does from the press of its button to the final text: a date formatter for the
// user's locale, the walk in the background, the label refreshed on every tick, and the outcome
// taken as soon as the walk says it has ended.
DialogRun generateAsTheDialogDoes(
    const std::string& dataDir, const app::Settings& settings, const fs::path& tree, const std::string& name)
{
    platform::LinuxDirectoryLister lister;
    platform::LinuxFileSystem fileSystem;
    fakes::UnattendedBox box; // replaces the catalog of the previous run, as `scan --force` does
    DialogRun run;
    const auto start = std::chrono::steady_clock::now();
    const catalog::DateFormatter dates(catalog::DateFormatter::userLocaleName());
    const catalog::CatalogStore store(dataDir, fileSystem);
    const scan::ScanContext context { store, settings, lister, box, dates, nullptr };
    scan::BackgroundScan scan(context, tree.string(), name);
    while (!scan.waitFor(scan::kProgressPollInterval)) {
        scan::ScanProgress progress = scan.progress();
        benchmark::DoNotOptimize(progress);
        ++run.polls;
    }
    if (!scan.result()) {
        std::fprintf(stderr, "the walk failed\n");
        std::exit(1);
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const bench::ToolBenchmark setup(argc, argv, 200000);
    const int runs = setup.runs;
    const fs::path& tree = setup.tree;
    const fs::path data = setup.data;

    // The filters the command-line tool applies: those of the settings file beside both programs.
    app::Settings settings;
    {
        fakes::UnattendedBox box;
        platform::LinuxFileSystem fileSystem;
        settings = app::loadStartupSettings(app::ProgramFolder(bench::benchmarkFolder(), fileSystem), box);
    }

    const std::vector<std::string> scan
        = { setup.cli, "scan", "--force", "--data", data.string(), tree.string(), "bench" };
    bench::runSeconds(scan); // warm the caches for both
    generateAsTheDialogDoes(data.string(), settings, tree, "bench");
    std::vector<double> scanTimes;
    std::vector<double> dialogTimes;
    std::uint64_t polls = 0;
    for (int run = 0; run < runs; ++run) {
        scanTimes.push_back(bench::runSeconds(scan));
        const DialogRun dialog = generateAsTheDialogDoes(data.string(), settings, tree, "bench");
        dialogTimes.push_back(dialog.seconds);
        polls += dialog.polls;
    }
    const double scanMedian = bench::median(scanTimes);
    const double dialogMedian = bench::median(dialogTimes);
    std::printf("mellowby-cli scan: median %.3f s over %d runs\n", scanMedian, runs);
    std::printf("dialog code path:  median %.3f s over %d runs (%.1f progress polls a run, catalog %.1f MB)\n",
        dialogMedian, runs, static_cast<double>(polls) / runs,
        static_cast<double>(fs::file_size(data / "bench.xml")) / 1e6);
    std::printf("dialog / scan ratio: %.2f\n", dialogMedian / scanMedian);
    return 0;
}
