// Times `mellowby-cli scan` against `find TREE -printf '%p %s %T@\n'` on the same warm tree and
// prints the medians and their ratio. Both walk every entry and stat it, so the ratio shows what
// writing a catalog costs on top of the walk itself.
//
//   bench_scan [--files N] [--runs N] [--tree DIR]

#include "benchoptions.h"
#include "commandtimer.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mellowby::bench::median;
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
    return 0;
}
