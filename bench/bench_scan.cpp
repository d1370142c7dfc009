// Times `mellowby-cli scan` against `find TREE -printf '%p %s %T@\n'` on the same warm tree and
// prints the medians and their ratio. Both walk every entry and stat it, so the ratio shows what
// writing a catalog costs on top of the walk itself.
//
//   bench_scan [--files N] [--runs N] [--tree DIR]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/programpath.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kWords = { "report", "照片", "Tom & Jerry", "Bob's", "数据 备份", "music", "a b c",
    "最终版", "draft", "视频", "notes", "x&y" };
const std::vector<std::string> kExtensions = { ".jpg", ".txt", ".doc", ".mp3", ".gif", "", ".tar.gz", ".XML" };

// A deterministic tree: the same seed gives the same names, sizes and shape on every machine.
void buildTree(const fs::path& root, std::size_t fileCount)
{
    std::mt19937 random(20041215);
    std::vector<fs::path> directories { root };
    fs::create_directories(root);
    for (std::size_t i = 0; i < fileCount; ++i) {
        if (i % 40 == 0) {
            const fs::path& parent = directories[random() % directories.size()];
            const auto depth = std::distance(root.begin(), root.end());
            if (std::distance(parent.begin(), parent.end()) - depth < 8) {
                fs::path child = parent / (kWords[random() % kWords.size()] + " " + std::to_string(i));
                fs::create_directory(child);
                directories.push_back(child);
            }
        }
        const fs::path& directory = directories[random() % directories.size()];
        const fs::path file = directory
            / (kWords[random() % kWords.size()] + "_" + std::to_string(i) + kExtensions[random() % kExtensions.size()]);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(file.c_str());
            std::exit(1);
        }
        // Sparse: the sizes vary without filling the disk.
        if (::ftruncate(fd, static_cast<off_t>(random() % (8u << 20))) != 0)
            std::perror("ftruncate");
        ::close(fd);
    }
}

double runSeconds(const std::vector<std::string>& command)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& word : command)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "command failed: %s\n", command[0].c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

} // namespace

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
        buildTree(tree, files);
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
