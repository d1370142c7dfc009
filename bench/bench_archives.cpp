// Times listing archives with the library against `bsdtar -tvf` (libarchive's own tool) on the
// same zips, and prints the medians and their ratio. Both run as one process per archive with
// their listing read from a pipe, so each pays for starting, for reading the central directory
// and for writing a line per member. Then a zip of 4 GB with one member (its data a hole of a
// sparse file): listing reads its central directory only, and must take well under 0.1 s.
//
//   bench_archives [--archives N] [--members N] [--runs N]
//   bench_archives --list FILE      (one archive listed to standard output, for the timing)

#include "benchoptions.h"
#include "commandtimer.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "archive/archivelister.h"
#include "support/temporaryfolder.h"
#include "support/zipbytes.h"

namespace fs = std::filesystem;
using mellowby::bench::median;
using mellowby::bench::runPiped;

namespace {

// A line per member as `bsdtar -tv` gives one: size, time, name.
int listToOutput(const std::string& path)
{
    const auto listing = mellowby::archive::listArchive(path);
    if (!listing)
        return 1;
    std::string out;
    out.reserve(listing->members.size() * 64);
    char line[64];
    for (const auto& member : listing->members) {
        const std::time_t seconds = member.modified ? member.modified->seconds : 0;
        std::tm time {};
        ::gmtime_r(&seconds, &time);
        const int length = std::snprintf(line, sizeof line, "%12llu %04d-%02d-%02d %02d:%02d ",
            static_cast<unsigned long long>(member.size.value_or(0)), time.tm_year + 1900, time.tm_mon + 1,
            time.tm_mday, time.tm_hour, time.tm_min);
        out.append(line, static_cast<std::size_t>(length));
        out += member.name;
        out += '\n';
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}

std::vector<mellowby::tests::ZipEntry> entriesFor(int archive, int members)
{
    std::vector<mellowby::tests::ZipEntry> entries;
    entries.reserve(static_cast<std::size_t>(members));
    for (int i = 0; i < members; ++i) {
        entries.emplace_back("archive" + std::to_string(archive) + "/folder" + std::to_string(i / 100) + "/file"
                + std::to_string(i) + ".txt",
            "data of " + std::to_string(i));
    }
    return entries;
}

// Seconds to list every archive, one process each.
double listEach(const std::vector<std::string>& archives, const std::vector<std::string>& command)
{
    double seconds = 0;
    for (const auto& archive : archives) {
        std::vector<std::string> words = command;
        words.push_back(archive);
        seconds += runPiped(words).seconds;
    }
    return seconds;
}

int run(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--list")
        return listToOutput(argv[2]);
    const mellowby::bench::BenchOptions options(argc, argv);
    const int archives = options.number("--archives", 200);
    const int members = options.number("--members", 5000);
    const int runs = options.number("--runs", 5);
    const std::string binDir = mellowby::bench::benchmarkFolder();
    const mellowby::tests::TemporaryFolder folder(fs::temp_directory_path(), "mellowby-bench-archives");
    const fs::path work = folder.path();
    std::printf("writing %d zips of %d members in %s ...\n", archives, members, work.c_str());
    std::vector<std::string> paths;
    for (int archive = 0; archive < archives; ++archive) {
        paths.push_back((work / ("a" + std::to_string(archive) + ".zip")).string());
        std::ofstream(paths.back(), std::ios::binary) << mellowby::tests::zipBytes(entriesFor(archive, members));
    }

    const std::vector<std::string> bsdtar = { "bsdtar", "-tvf" };
    const std::vector<std::string> ours = { binDir + "/bench_archives", "--list" };
    listEach(paths, bsdtar); // warm the caches for both
    listEach(paths, ours);
    std::vector<double> bsdtarTimes;
    std::vector<double> ourTimes;
    for (int run = 0; run < runs; ++run) {
        bsdtarTimes.push_back(listEach(paths, bsdtar));
        ourTimes.push_back(listEach(paths, ours));
    }
    std::vector<double> inProcess;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        std::size_t listed = 0;
        for (const auto& path : paths)
            listed += mellowby::archive::listArchive(path)->members.size();
        inProcess.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (listed != static_cast<std::size_t>(archives) * static_cast<std::size_t>(members)) {
            std::cerr << "listed " << listed << " members\n";
            return 1;
        }
    }
    const double bsdtarMedian = median(bsdtarTimes);
    const double ourMedian = median(ourTimes);
    std::printf("bsdtar -tvf:      median %.3f s over %d runs (%d archives)\n", bsdtarMedian, runs, archives);
    std::printf("mellowby listing: median %.3f s over %d runs (%d archives)\n", ourMedian, runs, archives);
    std::printf("listing / bsdtar ratio: %.2f (target at most 1.20)\n", ourMedian / bsdtarMedian);
    std::printf("in one process, without output: median %.3f s\n", median(inProcess));

    const std::string big = (work / "big.zip").string();
    mellowby::tests::writeSparseZip(big, "disc image.iso", std::uint64_t { 4 } << 30);
    std::vector<double> bigTimes;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const auto listing = mellowby::archive::listArchive(big);
        bigTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!listing || listing->members.size() != 1 || listing->members[0].size != std::uint64_t { 4 } << 30) {
            std::cerr << "the 4 GB zip did not list\n";
            return 1;
        }
    }
    std::vector<double> bigBsdtar;
    bigBsdtar.reserve(static_cast<std::size_t>(runs));
    for (int run = 0; run < runs; ++run)
        bigBsdtar.push_back(runPiped({ "bsdtar", "-tvf", big }).seconds);
    std::printf("4 GB zip of one member (%.1f GB file): median %.5f s (target under 0.1 s); bsdtar -tvf %.5f s\n",
        static_cast<double>(fs::file_size(big)) / 1e9, median(bigTimes), median(bigBsdtar));
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
