#pragma once

// The tree the scanning benchmarks walk: deterministic, so the same seed gives the same names,
// sizes and shape on every machine, and the figures of different benchmarks compare.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace mellowby::bench {

// Names with blanks, markup characters and Chinese, as real discs hold them.
inline const std::vector<std::string> kTreeWords = { "report", "照片", "Tom & Jerry", "Bob's", "数据 备份", "music",
    "a b c", "最终版", "draft", "视频", "notes", "x&y" };
inline const std::vector<std::string> kTreeExtensions
    = { ".jpg", ".txt", ".doc", ".mp3", ".gif", "", ".tar.gz", ".XML" };

// What the files of a synthetic tree hold: sparse files of sizes up to 8 MiB that take no room,
// or their number in a few bytes (a disc image holds its files' data).
enum class TreeFiles { Sparse, FewBytes };

// Creates fileCount files below root, a new directory (at most maxDepth levels deep) every 40
// files.
inline void buildSyntheticTree(
    const std::filesystem::path& root, std::size_t fileCount, TreeFiles contents = TreeFiles::Sparse, long maxDepth = 8)
{
    namespace fs = std::filesystem;
    std::mt19937 random(20041215);
    std::vector<fs::path> directories { root };
    fs::create_directories(root);
    for (std::size_t i = 0; i < fileCount; ++i) {
        if (i % 40 == 0) {
            const fs::path& parent = directories[random() % directories.size()];
            const auto depth = std::distance(root.begin(), root.end());
            if (std::distance(parent.begin(), parent.end()) - depth < maxDepth) {
                fs::path child = parent / (kTreeWords[random() % kTreeWords.size()] + " " + std::to_string(i));
                fs::create_directory(child);
                directories.push_back(child);
            }
        }
        const fs::path& directory = directories[random() % directories.size()];
        const fs::path file = directory
            / (kTreeWords[random() % kTreeWords.size()] + "_" + std::to_string(i)
                + kTreeExtensions[random() % kTreeExtensions.size()]);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(file.c_str());
            std::exit(1);
        }
        if (contents == TreeFiles::Sparse) {
            if (::ftruncate(fd, static_cast<off_t>(random() % (8u << 20))) != 0)
                std::perror("ftruncate");
        } else {
            const std::string number = std::to_string(i);
            if (::write(fd, number.data(), number.size()) != static_cast<ssize_t>(number.size()))
                std::perror("write");
        }
        ::close(fd);
    }
}

} // namespace mellowby::bench
