// Times the digests of a tree of 2 GB in files of mixed sizes (a few of 200 MB, many of 1 MB, very
// many of 4 KB), page-cached, made by the library against `xxhsum -H2` and `sha256sum` over the
// same files, and prints the medians, their ratios and the library's peak memory. Each side runs
// as a process of its own that walks the tree and writes one line a file into a real file: the
// tools get every file from find through xargs, the library from a walk on its own thread, as a
// scan gives them.
//
//   bench_digest [--runs N] [--tree DIR]
//   bench_digest --cold [--tree DIR]
//
// With --cold it reads the folders of small and middling files from the device instead (each
// dropped from the page cache first), in the order of their data with one reader, in the order of
// the walk with one reader, and with four readers at once, and prints what each took.
//
// The tree is made once under the temporary folder and kept for the next run.

#include "commandtimer.h"
#include "digest/digestrun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "fakes/faultyfilereading.h"
#include "platform/linux/linuxdirectorylister.h"
#include "platform/linux/linuxfilereading.h"
#include "platform/programpath.h"

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::RunFigures;
using mellowby::bench::runIntoFile;

namespace {

constexpr std::uint64_t kMB = 1000 * 1000;

struct FileGroup {
    const char* name;
    std::size_t count;
    std::uint64_t size;
};

// 1 GB in big files, 0.7 GB in middling ones, 0.3 GB in small ones.
constexpr FileGroup kGroups[] = { { "big", 5, 200 * kMB }, { "middle", 700, 1 * kMB }, { "small", 75000, 4096 } };
constexpr std::size_t kFilesPerFolder = 1000;

// Bytes that no file system or cache can make less of.
void fillRandom(std::vector<char>& bytes, std::uint64_t& state)
{
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(bytes.data() + i, &state, 8);
    }
}

void writeTree(const fs::path& tree)
{
    std::uint64_t state = 20240519;
    std::vector<char> chunk(4 * 1024 * 1024);
    for (const auto& group : kGroups) {
        for (std::size_t i = 0; i < group.count; ++i) {
            const fs::path folder = tree / group.name / std::to_string(i / kFilesPerFolder);
            fs::create_directories(folder);
            std::ofstream out(folder / (std::to_string(i) + ".bin"), std::ios::binary);
            for (std::uint64_t left = group.size; left > 0;) {
                fillRandom(chunk, state);
                const auto piece = static_cast<std::streamsize>(std::min<std::uint64_t>(left, chunk.size()));
                out.write(chunk.data(), piece);
                left -= static_cast<std::uint64_t>(piece);
            }
        }
    }
    std::ofstream(tree / "complete") << "made by bench_digest\n";
}

// Walks tree into run, as the scan's walk does (each folder listed through its own handle, each
// file's size from the listing), and waits for it; whether every file was read.
bool digestTree(const std::string& tree, mellowby::digest::DigestRun& run)
{
    mellowby::platform::LinuxDirectoryLister lister;
    std::vector<std::pair<std::unique_ptr<mellowby::platform::IDirectory>, std::string>> folders;
    if (auto root = lister.open(tree))
        folders.emplace_back(std::move(*root), tree);
    std::vector<mellowby::platform::DirEntry> entries;
    while (!folders.empty()) {
        auto [folder, path] = std::move(folders.back());
        folders.pop_back();
        entries.clear();
        if (!folder->list(entries))
            continue;
        for (const auto& entry : entries) {
            const std::string child = path + "/" + entry.name;
            if (!entry.isDirectory) {
                if (entry.name != "complete")
                    run.add({ child, entry.size, std::nullopt, 0 });
            } else if (auto opened = folder->openChild(entry.name)) {
                folders.emplace_back(std::move(*opened), child);
            }
        }
    }
    run.finishAdding();
    return run.wait().end == mellowby::digest::RunEnd::Complete;
}

// The most memory the process has held, in kB, from the kernel's own count (VmHWM): what the
// parent could learn of a child through wait4 includes the parent's memory at the fork.
std::string peakResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:"))
            return line.substr(line.find_first_not_of(" \t", 6));
    }
    return "0";
}

// The child's side: walks tree, digests every file with the library, one line a file on the
// standard output as the tools print them; its peak memory in kB into peakFile.
int hashTree(const std::string& tree, const std::string& algorithmName, const std::string& peakFile)
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
    const bool complete = digestTree(tree, run);
    (void)std::fflush(stdout);
    std::ofstream(peakFile) << peakResidentKilobytes() << "\n";
    return failures == 0 && complete ? 0 : 1;
}

// Drops the files below folder from the page cache, so that they are read from the device.
void evict(const fs::path& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const int fd = ::open(entry.path().c_str(), O_RDONLY);
        if (fd >= 0) {
            (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

// Reads the folders of the tree from the device in each order the library knows, and prints
// what each took: the order of the data with one reader, the order of the walk with one reader,
// several readers at once.
int measureColdReads(const fs::path& tree)
{
    struct Way {
        const char* name;
        mellowby::platform::StorageKind kind;
        bool placesTold;
    };
    const Way ways[] = { { "one reader, order of the data", mellowby::platform::StorageKind::Rotational, true },
        { "one reader, order of the walk", mellowby::platform::StorageKind::Rotational, false },
        { "four readers at once", mellowby::platform::StorageKind::Solid, false } };
    for (const char* group : { "small", "middle" }) {
        const fs::path folder = tree / group;
        for (const auto& way : ways) {
            evict(folder);
            mellowby::platform::LinuxFileReading real;
            // Without places given, the fake says the file system does not tell them.
            mellowby::fakes::FaultyFileReading hidingPlaces(real);
            mellowby::platform::IFileReading& reading
                = way.placesTold ? static_cast<mellowby::platform::IFileReading&>(real) : hidingPlaces;
            mellowby::digest::DigestOptions options;
            options.storage = way.kind;
            options.cores = 4;
            mellowby::digest::DigestRun run(reading, options, [](const mellowby::digest::FileDigest&) {});
            const auto start = std::chrono::steady_clock::now();
            digestTree(folder.string(), run);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const auto progress = run.progress();
            std::printf("%-7s %-30s %6.2f s, %7.1f MB/s, %8.0f files/s\n", group, way.name, seconds,
                static_cast<double>(progress.bytesDone) / 1e6 / seconds,
                static_cast<double>(progress.filesDone) / seconds);
        }
    }
    return 0;
}

std::string wholeText(const fs::path& path)
{
    std::ifstream in(path);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// The lines of a digest listing, sorted, so that two listings in different orders compare.
std::vector<std::string> sortedLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::ranges::sort(lines);
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--hash")
        return hashTree(argv[2], argv[3], argv[4]);
    bool cold = false;

    int runs = 5;
    fs::path tree = fs::temp_directory_path() / "mellowby-bench-digest";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--cold")
            cold = true;
        else if (i + 1 == argc)
            break;
        else if (option == "--runs")
            runs = std::stoi(argv[++i]);
        else if (option == "--tree")
            tree = argv[++i];
    }
    if (!fs::exists(tree / "complete")) {
        std::printf("writing a tree of 2 GB in %s ...\n", tree.c_str());
        writeTree(tree);
    }
    if (cold)
        return measureColdReads(tree);
    const auto self = fs::read_symlink("/proc/self/exe").string();
    const fs::path work = fs::temp_directory_path() / ("mellowby-bench-digest-" + std::to_string(::getpid()));
    fs::create_directories(work);

    const auto viaXargs = [&](const std::string& tool) {
        return std::vector<std::string> { "sh", "-c", "find \"$1\" -type f ! -name complete -print0 | xargs -0 " + tool,
            "sh", tree.string() };
    };
    const auto viaLibrary = [&](const std::string& algorithm) {
        return std::vector<std::string> { self, "--hash", tree.string(), algorithm, (work / "peak").string() };
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
        runIntoFile(sides[i].command, (work / std::to_string(i)).string());
    for (const std::size_t i : { 0, 2 }) {
        if (sortedLines(work / std::to_string(i)) != sortedLines(work / std::to_string(i + 1))) {
            (void)std::fprintf(stderr, "%s and %s disagree\n", sides[i].name.c_str(), sides[i + 1].name.c_str());
            return 1;
        }
    }
    long peakKilobytes = 0;
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < sides.size(); ++i) {
            const RunFigures figures = runIntoFile(sides[i].command, (work / std::to_string(i)).string());
            sides[i].seconds.push_back(figures.seconds);
            sides[i].processorSeconds.push_back(figures.processorSeconds);
            if (i % 2 == 1)
                peakKilobytes = std::max(peakKilobytes, std::stol(wholeText(work / "peak")));
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

    std::error_code ignored;
    fs::remove_all(work, ignored);
    return 0;
}
