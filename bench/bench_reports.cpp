// Times `mellowby-cli export --format csv` to a file against `iconv -f CP936 -t UTF-8` of the
// catalog to a file (both transcode every name and write it once), and `mellowby-cli dupes`, on the
// same catalog in the same run; prints medians, their ratio and the peak memory of dupes.
//
//   bench_reports [--files N] [--runs N] [--tree DIR]

#include "commandtimer.h"
#include "synthetictree.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/programpath.h"

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runPiped;

int main(int argc, char** argv)
{
    std::size_t files = 1000000;
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
    const fs::path work = fs::temp_directory_path() / ("mellowby-bench-reports-" + std::to_string(::getpid()));
    fs::create_directories(work / "cache");
    ::setenv("XDG_CACHE_HOME", (work / "cache").c_str(), 1);
    if (tree.empty()) {
        tree = work / "tree";
        std::printf("building a tree of %zu files in %s ...\n", files, tree.c_str());
        mellowby::bench::buildSyntheticTree(tree, files);
    }
    const std::string data = (work / "Data").string();
    runPiped({ cli, "scan", "--data", data, tree.string(), "bench" });
    const std::string catalog = data + "/bench.xml";
    const std::string csv = (work / "bench.csv").string();
    const std::string utf8 = (work / "bench.utf8").string();

    const std::vector<std::vector<std::string>> commands = { { cli, "export", "bench", "--out", csv, "--data", data },
        { "iconv", "-f", "CP936", "-t", "UTF-8", "-o", utf8, catalog }, { cli, "dupes", "--data", data } };
    std::vector<std::vector<double>> seconds(commands.size());
    double dupesPeak = 0;
    for (const auto& command : commands)
        runPiped(command); // warm the caches
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const auto figures = runPiped(commands[i]);
            seconds[i].push_back(figures.seconds);
            if (i == 2)
                dupesPeak = std::max(dupesPeak, figures.peakBytes);
        }
    }
    const double exportSeconds = median(seconds[0]);
    const double iconvSeconds = median(seconds[1]);
    const double dupesSeconds = median(seconds[2]);
    std::printf("catalog %.1f MB, %d runs, medians\n", static_cast<double>(fs::file_size(catalog)) / 1e6, runs);
    std::printf("  export --format csv to a file   %.3f s (%.1f MB)\n", exportSeconds,
        static_cast<double>(fs::file_size(csv)) / 1e6);
    std::printf("  iconv -f CP936 -t UTF-8 to a file %.3f s\n", iconvSeconds);
    std::printf("  => export / iconv  %.2fx (target at most 1.50x) %s\n", exportSeconds / iconvSeconds,
        exportSeconds <= 1.5 * iconvSeconds ? "met" : "NOT MET");
    std::printf("  dupes              %.3f s, peak %.1f MB (targets at most 1 s, 256 MB) %s\n", dupesSeconds,
        dupesPeak / 1048576.0, dupesSeconds <= 1.0 && dupesPeak <= 256.0 * 1048576.0 ? "met" : "NOT MET");
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return 0;
}
