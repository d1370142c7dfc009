// Times the digests of a tree of 2 GB in files of mixed sizes (see digesttree.h), page-cached,
// made by the library against `xxhsum -H2` and `sha256sum` over the same files, and prints the
// medians, their ratios and the library's peak memory. Each side runs as a process of its own that
// walks the tree and writes one line a file into a real file: the tools get every file from find
// through xargs, the library from a walk on the thread that gives the files, as a scan does.
//
//   bench_digest [--runs N] [--tree DIR]

#include "benchoptions.h"
#include "commandtimer.h"
#include "digesttree.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "digest/digestrun.h"
#include "platform/linux/linuxfilereading.h"
#include "support/temporaryfolder.h"

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::RunFigures;
using mellowby::bench::runIntoFile;

namespace {

// The most memory the process has held, in kB, from the kernel's own count (VmHWM): what the
// parent could learn of a child through wait4 includes the parent's memory at the fork.
long peakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:"))
            return std::stol(line.substr(6));
    }
    return 0;
}

// The child's side: digests every file below tree with the library, one line a file on the
// standard output as the tools print them; its peak memory in kB into peakFile.
int digestWithTheLibrary(const std::string& tree, const std::string& algorithmName, const std::string& peakFile)
{
    const auto algorithm = mellowby::digest::algorithmNamed(algorithmName);
    if (!algorithm)
        return 2;
    std::vector<char> outputBuffer(1 << 16);
    (void)std::setvbuf(stdout, outputBuffer.data(), _IOFBF, outputBuffer.size());
    mellowby::platform::LinuxFileReading reading;
    mellowby::digest::DigestOptions options;
    options.algorithm = *algorithm;
    int failures = 0;
    mellowby::digest::DigestRun run(reading, options, [&](const mellowby::digest::FileDigest& outcome) {
        if (!outcome.digest) {
            ++failures;
            return;
        }
        const std::string line = outcome.digest->text() + "  " + outcome.file.path + "\n";
        (void)std::fwrite(line.data(), 1, line.size(), stdout);
    });
    const bool complete = mellowby::bench::digestFolder(tree, run);
    (void)std::fflush(stdout);
    std::ofstream(peakFile) << peakResidentKilobytes() << "\n";
    return failures == 0 && complete ? 0 : 1;
}

// The lines of a digest listing, sorted, so that two listings in different orders compare.
std::vector<std::string> sortedLines(const fs::path& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::ranges::sort(lines);
    return lines;
}

long kilobytesIn(const fs::path& path)
{
    long kilobytes = 0;
    std::ifstream(path) >> kilobytes;
    return kilobytes;
}

} // namespace

int main(int argc, char** argv)
{
    // How the benchmark runs the library in a process of its own.
    if (argc == 5 && std::string(argv[1]) == "--library")
        return digestWithTheLibrary(argv[2], argv[3], argv[4]);

    const mellowby::bench::BenchOptions options(argc, argv);
    const int runs = options.number("--runs", 5);
    const fs::path tree = mellowby::bench::digestTree(options.path("--tree"));
    const std::string self = mellowby::bench::benchmarkFolder() + "/bench_digest";
    const mellowby::tests::TemporaryFolder work(fs::temp_directory_path(), "mellowby-bench");

    const auto viaXargs = [&](const std::string& tool) {
        return std::vector<std::string> { "sh", "-c",
            "find \"$1\" -type f ! -name " + std::string(mellowby::bench::kDigestTreeMark) + " -print0 | xargs -0 "
                + tool,
            "sh", tree.string() };
    };
    const auto viaLibrary = [&](const std::string& algorithm) {
        return std::vector<std::string> { self, "--library", tree.string(), algorithm, work / "peak" };
    };
    struct Side {
        std::string name;
        std::vector<std::string> command;
        std::vector<double> seconds;
        std::vector<double> processorSeconds;
    };
    std::vector<Side> sides {
        { "xxhsum -H2", viaXargs("xxhsum -H2"), {}, {} },
        { "library xxh128", viaLibrary("xxh128"), {}, {} },
        { "sha256sum", viaXargs("sha256sum"), {}, {} },
        { "library sha256", viaLibrary("sha256"), {}, {} },
    };
    // Once each untimed: the tree comes into the page cache, and the listings are compared.
    for (std::size_t i = 0; i < sides.size(); ++i)
        runIntoFile(sides[i].command, work / std::to_string(i));
    for (const std::size_t i : { 0, 2 }) {
        if (sortedLines(work / std::to_string(i)) != sortedLines(work / std::to_string(i + 1))) {
            (void)std::fprintf(stderr, "%s and %s disagree\n", sides[i].name.c_str(), sides[i + 1].name.c_str());
            return 1;
        }
    }
    long peakKilobytes = 0;
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < sides.size(); ++i) {
            const RunFigures figures = runIntoFile(sides[i].command, work / std::to_string(i));
            sides[i].seconds.push_back(figures.seconds);
            sides[i].processorSeconds.push_back(figures.processorSeconds);
            if (i % 2 == 1)
                peakKilobytes = std::max(peakKilobytes, kilobytesIn(work / "peak"));
        }
    }
    for (const auto& side : sides) {
        std::printf("%-15s median %.3f s, processor %.3f s, over %d runs\n", side.name.c_str(), median(side.seconds),
            median(side.processorSeconds), runs);
    }
    for (const std::size_t i : { 0, 2 }) {
        std::printf("%s / %s: %.2f (target at most 1.15), processor time %.2f\n", sides[i + 1].name.c_str(),
            sides[i].name.c_str(), median(sides[i + 1].seconds) / median(sides[i].seconds),
            median(sides[i + 1].processorSeconds) / median(sides[i].processorSeconds));
    }
    std::printf(
        "library peak memory: %.1f MB (target at most 64 MB)\n", static_cast<double>(peakKilobytes) * 1024 / 1e6);
    return 0;
}
