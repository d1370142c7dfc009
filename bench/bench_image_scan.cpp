// Times `mellowby-cli scan IMAGE.iso` (a disc image catalogued as its disc, without mounting it)
// against `xorriso -indev IMAGE -find / -exec lsdl` on the same image, each writing its output
// into a file, and prints the medians and their ratio. Both read the image's directory records
// and write a line (or an element) per entry. The image, of --files files with Joliet and Rock
// Ridge names, is made once with xorriso in the benchmark's own folder, which takes a while.
//
//   bench_image_scan [--files N] [--runs N] [--image FILE]

#include "benchoptions.h"
#include "commandtimer.h"
#include "synthetictree.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runIntoFile;

int main(int argc, char** argv)
{
    const mellowby::bench::BenchOptions options(argc, argv);
    const std::size_t files = options.count("--files", 100000);
    const int runs = options.number("--runs", 5);
    const mellowby::tests::TemporaryFolder work(fs::temp_directory_path(), "mellowby-bench-image");
    const std::string data = work / "Data";
    const std::string cache = work / "cache";
    fs::create_directories(data);
    fs::create_directories(cache);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);

    std::string image = options.path("--image").string();
    if (image.empty()) {
        const fs::path tree = fs::path(work.path()) / "tree";
        image = work / "disc.iso";
        std::printf("building a tree of %zu files and its image in %s ...\n", files, work.path().c_str());
        // Files of a few bytes (an image holds its files' data), six levels deep at most.
        mellowby::bench::buildSyntheticTree(tree, files, mellowby::bench::TreeFiles::FewBytes, 6);
        // Ends the benchmark when xorriso fails.
        runIntoFile({ "xorriso", "-as", "mkisofs", "-quiet", "-J", "-joliet-long", "-R", "-V", "BENCH", "-o", image,
                        tree.string() },
            work / "mkisofs.txt");
        fs::remove_all(tree);
    }
    image = fs::absolute(image).lexically_normal().string();
    std::printf("image: %s, %.1f MB\n", image.c_str(), static_cast<double>(fs::file_size(image)) / 1e6);

    const std::vector<std::string> xorriso = { "xorriso", "-indev", image, "-find", "/", "-exec", "lsdl" };
    const std::vector<std::string> scan
        = { mellowby::bench::commandLineTool(), "scan", "--force", "--data", data, image, "bench" };
    const std::string xorrisoOutput = work / "xorriso.txt";
    const std::string scanOutput = work / "scan.txt";
    runIntoFile(xorriso, xorrisoOutput); // warm the caches for both
    runIntoFile(scan, scanOutput);
    std::vector<double> xorrisoTimes;
    std::vector<double> scanTimes;
    std::vector<double> xorrisoProcessor;
    std::vector<double> scanProcessor;
    for (int run = 0; run < runs; ++run) {
        const auto theirs = runIntoFile(xorriso, xorrisoOutput);
        const auto ours = runIntoFile(scan, scanOutput);
        xorrisoTimes.push_back(theirs.seconds);
        xorrisoProcessor.push_back(theirs.processorSeconds);
        scanTimes.push_back(ours.seconds);
        scanProcessor.push_back(ours.processorSeconds);
    }
    const double xorrisoMedian = median(xorrisoTimes);
    const double scanMedian = median(scanTimes);
    std::printf("xorriso -find / -exec lsdl: median %.3f s (processor %.3f s) over %d runs, output %.1f MB\n",
        xorrisoMedian, median(xorrisoProcessor), runs, static_cast<double>(fs::file_size(xorrisoOutput)) / 1e6);
    std::printf("mellowby scan IMAGE:        median %.3f s (processor %.3f s) over %d runs, catalog %.1f MB\n",
        scanMedian, median(scanProcessor), runs, static_cast<double>(fs::file_size(data + "/bench.xml")) / 1e6);
    std::printf("scan / xorriso ratio: %.2f (target at most 1.20)\n", scanMedian / xorrisoMedian);
    return 0;
}
