// Times writing a catalog the way the generation dialog does it (the walk on a thread of its own,
// its progress polled from the window's thread at the dialog's timer rate) against
// `mellowby-cli scan` of the same warm tree, and prints the medians and their ratio. The
// progress display must cost the walk nothing, so the ratio should stay at or below 1.1.
//
//   bench_generate [--files N] [--runs N] [--tree DIR]

#include "commandtimer.h"
#include "scan/backgroundscan.h"
#include "synthetictree.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/programfolder.h"
#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/messagebox.h"
#include "platform/programpath.h"

namespace {

namespace fs = std::filesystem;
using namespace mellowby;

// Replaces the catalog of the previous run, as `scan --force` does; any other box is a failure
// of the run and is said on stderr.
class OverwritingBox final : public platform::IMessageBox {
public:
    platform::MessageAnswer show(const platform::MessageRequest& request) override
    {
        if (request.buttons == platform::MessageButtons::YesNo)
            return platform::MessageAnswer::Yes;
        std::fprintf(stderr, "box: %s (%s)\n", request.text.c_str(), request.title.c_str());
        return platform::MessageAnswer::Ok;
    }
    std::optional<std::string> prompt(const std::string&, const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
};

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
    OverwritingBox box;
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
    std::size_t files = 200000;
    int runs = 5;
    fs::path tree;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--files")
            files = std::stoul(argv[i + 1]);
        else if (option == "--runs")
            runs = std::stoi(argv[i + 1]);
        else if (option == "--tree")
            tree = argv[i + 1];
    }
    const auto binDir = platform::runningExecutableFolder();
    if (!binDir) {
        std::fprintf(stderr, "cannot find the program folder\n");
        return 1;
    }
    const std::string cli = *binDir + "/mellowby-cli";
    const fs::path work = fs::temp_directory_path() / ("mellowby-bench-" + std::to_string(::getpid()));
    if (tree.empty()) {
        tree = work / "tree";
        std::printf("building a tree of %zu files in %s ...\n", files, tree.c_str());
        bench::buildSyntheticTree(tree, files);
    }
    tree = fs::absolute(tree).lexically_normal();
    const fs::path data = work / "Data";
    fs::create_directories(data);

    // The filters the command-line tool applies: those of the settings file beside both programs.
    app::Settings settings;
    {
        OverwritingBox box;
        platform::LinuxFileSystem fileSystem;
        settings = app::loadStartupSettings(app::ProgramFolder(*binDir, fileSystem), box);
    }

    const std::vector<std::string> scan = { cli, "scan", "--force", "--data", data.string(), tree.string(), "bench" };
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

    std::error_code ignored;
    fs::remove_all(work, ignored);
    return 0;
}
