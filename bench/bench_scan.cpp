// Times `mellowby-cli scan` against `find TREE -printf '%p %s %T@\n'` on the same warm tree and
// prints the medians and their ratio. Both walk every entry and stat it, so the ratio shows what
// writing a catalog costs on top of the walk itself.
//
//   bench_scan [--files N] [--runs N] [--tree DIR]

#include "commandtimer.h"
#include "synthetictree.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/programpath.h"

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runSeconds;

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
    const auto binDir = mellowby::platform::runningExecutableFolder();
    if (!binDir) {
        std::fprintf(stderr, "cannot find the program folder\n");
        return 1;
    }
    const std::string cli = *binDir + "/mellowby-cli";
    const fs::path work = fs::temp_directory_path() / ("mellowby-bench-" + std::to_string(::getpid()));
    const bool ownTree = tree.empty();
    if (ownTree) {
        tree = work / "tree";
        std::printf("building a tree of %zu files in %s ...\n", files, tree.c_str());
        mellowby::bench::buildSyntheticTree(tree, files);
    }
    const fs::path data = work / "Data";
    fs::create_directories(data);

    const std::vector<std::string> find = { "find", tree.string(), "-printf", "%p %s %T@\\n" };
    const std::vector<std::string> scan = { cli, "scan", "--force", "--data", data.string(), tree.string(), "bench" };
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
        static_cast<double>(fs::file_size(data / "bench.xml")) / 1e6);
    std::printf("scan / find ratio: %.2f\n", scanMedian / findMedian);

    std::error_code ignored;
    fs::remove_all(work, ignored);
    return 0;
}
