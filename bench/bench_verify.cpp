// Times mellowby-cli verify of a tree of 2 GB in files of mixed sizes (see digesttree.h),
// page-cached, against `xxhsum -H2` over the same files, and `scan --update` of the same tree,
// unchanged, against a scan without checksums. Every side is a process of its own whose standard
// output goes into a real file; the medians and their ratios are printed.
//
//   bench_verify [--runs N] [--tree DIR]

#include "benchoptions.h"
#include "commandtimer.h"
#include "digesttree.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temporaryfolder.h"

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runIntoFile;

int main(int argc, char** argv)
{
    const mellowby::bench::BenchOptions options(argc, argv);
    const int runs = options.number("--runs", 5);
    const fs::path tree = fs::absolute(mellowby::bench::digestTree(options.path("--tree")));
    const std::string cli = mellowby::bench::commandLineTool();
    const mellowby::tests::TemporaryFolder work(fs::temp_directory_path(), "mellowby-bench");
    const std::string data = work / "Data";
    fs::create_directories(data);
    // The names indexes the tool makes go to the benchmark's own folder.
    (void)::setenv("XDG_CACHE_HOME", (work / "cache").c_str(), 1);

    // The catalog verified and updated, with its digests; untimed, and it brings the tree into the cache.
    runIntoFile({ cli, "scan", tree.string(), "disc", "--checksums", "--data", data }, work / "scan");

    struct Side {
        std::string name;
        std::vector<std::string> command;
        std::vector<double> seconds;
    };
    std::vector<Side> sides {
        { "xxhsum -H2",
            { "sh", "-c",
                "find \"$1\" -type f ! -name " + std::string(mellowby::bench::kDigestTreeMark)
                    + " -print0 | xargs -0 xxhsum -H2",
                "sh", tree.string() },
            {} },
        { "verify", { cli, "verify", "disc", "--at", tree.string(), "--data", data }, {} },
        { "scan, no checksums", { cli, "scan", tree.string(), "plain", "--force", "--data", data }, {} },
        { "scan --update", { cli, "scan", tree.string(), "disc", "--update", "--data", data }, {} },
    };
    for (std::size_t i = 0; i < sides.size(); ++i)
        runIntoFile(sides[i].command, work / std::to_string(i));
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < sides.size(); ++i)
            sides[i].seconds.push_back(runIntoFile(sides[i].command, work / std::to_string(i)).seconds);
    }
    for (const auto& side : sides)
        std::printf("%-20s median %.3f s over %d runs\n", side.name.c_str(), median(side.seconds), runs);
    std::printf(
        "verify / xxhsum -H2: %.2f (target at most 1.1)\n", median(sides[1].seconds) / median(sides[0].seconds));
    std::printf("scan --update / scan without checksums: %.2f (target at most 1.2)\n",
        median(sides[3].seconds) / median(sides[2].seconds));
    return 0;
}
