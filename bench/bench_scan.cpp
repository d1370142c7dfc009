// Times `mellowby-cli scan` against `find TREE -printf '%p %s %T@\n'` on the same warm tree and
// prints the medians and their ratio. Both walk every entry and stat it, so the ratio shows what
// writing a catalog costs on top of the walk itself. Then `scan --archives` against `scan` on a
// tree where half the files are named .zip without being archives: each is looked at by its
// first bytes beside the walk, and the ratio shows what that costs the scan (at most 1.05 on the
// tree of a million files). On a machine shared with other work the processor time of the two
// varies less than their wall-clock time, and is given beside it.
//
//   bench_scan [--files N] [--runs N] [--tree DIR]      (--files 1000000 for the million)

#include "benchoptions.h"
#include "commandtimer.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runIntoFile;
using mellowby::bench::runSeconds;

int main(int argc, char** argv)
{
    const mellowby::bench::ToolBenchmark setup(argc, argv, 200000);
    const int runs = setup.runs;
    const std::vector<std::string> find = { "find", setup.tree.string(), "-printf", "%p %s %T@\\n" };
    const std::vector<std::string> scan
        = { setup.cli, "scan", "--force", "--data", setup.data, setup.tree.string(), "bench" };
    runSeconds(find); // warm the caches for both
    runSeconds(scan);
    std::vector<double> findTimes;
    std::vector<double> scanTimes;
    for (int run = 0; run < runs; ++run) {
        findTimes.push_back(runSeconds(find));
        scanTimes.push_back(runSeconds(scan));
    }
    const double findMedian = median(findTimes);
    const double scanMedian = median(scanTimes);
    std::printf("find:          median %.3f s over %d runs\n", findMedian, runs);
    std::printf("mellowby scan: median %.3f s over %d runs (catalog %.1f MB)\n", scanMedian, runs,
        static_cast<double>(fs::file_size(setup.data + "/bench.xml")) / 1e6);
    std::printf("scan / find ratio: %.2f\n", scanMedian / findMedian);

    // The tree built here with every other file named .zip: none is an archive. A tree given with
    // --tree is left as it is.
    if (setup.options.path("--tree").empty()) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(setup.tree)) {
            if (entry.is_regular_file() && files.size() % 2 == 0)
                files.push_back(entry.path());
            else if (entry.is_regular_file())
                files.emplace_back();
        }
        for (const fs::path& file : files) {
            if (!file.empty())
                fs::rename(file, file.string() + ".zip");
        }
    }
    std::vector<std::string> archives = scan;
    archives.push_back("--archives");
    runSeconds(archives);
    std::vector<double> plainTimes;
    std::vector<double> archiveTimes;
    std::vector<double> plainProcessor;
    std::vector<double> archiveProcessor;
    for (int run = 0; run < runs; ++run) {
        const auto plain = runIntoFile(scan, "/dev/null");
        const auto listing = runIntoFile(archives, "/dev/null");
        plainTimes.push_back(plain.seconds);
        plainProcessor.push_back(plain.processorSeconds);
        archiveTimes.push_back(listing.seconds);
        archiveProcessor.push_back(listing.processorSeconds);
    }
    const double plainMedian = median(plainTimes);
    const double archivesMedian = median(archiveTimes);
    std::printf("scan (.zip names):            median %.3f s (processor %.3f s) over %d runs\n", plainMedian,
        median(plainProcessor), runs);
    std::printf("scan --archives (.zip names): median %.3f s (processor %.3f s) over %d runs\n", archivesMedian,
        median(archiveProcessor), runs);
    std::printf("--archives / plain ratio: %.3f (processor %.3f)\n", archivesMedian / plainMedian,
        median(archiveProcessor) / median(plainProcessor));
    return 0;
}
