// Times `mellowby-cli export --format csv` to a file against `iconv -f CP936 -t UTF-8` of the
// catalog to a file (both transcode every name and write it once), and `mellowby-cli dupes`, on the
// same catalog in the same run; prints medians, their ratio and the peak memory of dupes.
//
//   bench_reports [--files N] [--runs N] [--tree DIR]

#include "benchoptions.h"
#include "commandtimer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runPiped;

int main(int argc, char** argv)
{
    const mellowby::bench::ToolBenchmark setup(argc, argv, 1000000);
    const int runs = setup.runs;
    const std::string& cli = setup.cli;
    const std::string& data = setup.data;
    runPiped({ cli, "scan", "--data", data, setup.tree.string(), "bench" });
    const std::string catalog = data + "/bench.xml";
    const std::string csv = setup.work / "bench.csv";
    const std::string utf8 = setup.work / "bench.utf8";

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
    return 0;
}
