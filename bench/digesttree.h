#pragma once

// The tree the benchmarks of digests read: 2 GB in files of mixed sizes (a few of 200 MB, many of
// 1 MB, very many of 4 KB) of bytes no file system or cache can make less of, made once under the
// temporary folder and kept for the next run; and the walk that gives its files to a run.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "digest/digestrun.h"
#include "platform/linux/linuxdirectorylister.h"

namespace mellowby::bench {

struct DigestFileGroup {
    const char* name;
    std::size_t count;
    std::uint64_t size;
};

// 1 GB in big files, 0.7 GB in middling ones, 0.3 GB in small ones, each group in a folder of its
// own, a thousand files a subfolder.
constexpr DigestFileGroup kDigestFileGroups[]
    = { { "big", 5, 200'000'000 }, { "middle", 700, 1'000'000 }, { "small", 75000, 4096 } };
// Written last: a tree without it was left half made.
constexpr const char* kDigestTreeMark = "complete";

// The tree given, or else the one kept under the temporary folder, made when it is not there yet.
inline std::filesystem::path digestTree(std::filesystem::path given)
{
    namespace fs = std::filesystem;
    const fs::path tree = given.empty() ? fs::temp_directory_path() / "mellowby-bench-digest" : std::move(given);
    if (fs::exists(tree / kDigestTreeMark))
        return tree;
    std::printf("writing a tree of 2 GB in %s ...\n", tree.c_str());
    std::uint64_t state = 20240519;
    std::vector<char> chunk(4 * 1024 * 1024);
    for (const auto& group : kDigestFileGroups) {
        for (std::size_t i = 0; i < group.count; ++i) {
            const fs::path folder = tree / group.name / std::to_string(i / 1000);
            fs::create_directories(folder);
            std::ofstream out(folder / (std::to_string(i) + ".bin"), std::ios::binary);
            for (std::uint64_t left = group.size; left > 0;) {
                for (std::size_t b = 0; b + 8 <= chunk.size(); b += 8) {
                    state ^= state << 13;
                    state ^= state >> 7;
                    state ^= state << 17;
                    std::memcpy(chunk.data() + b, &state, 8);
                }
                const auto piece = static_cast<std::streamsize>(std::min<std::uint64_t>(left, chunk.size()));
                out.write(chunk.data(), piece);
                left -= static_cast<std::uint64_t>(piece);
            }
        }
    }
    std::ofstream(tree / kDigestTreeMark) << "made by the benchmarks of digests\n";
    return tree;
}

// Walks folder into run, as the scan's walk does (each folder listed through its own handle, each
// file's size from the listing), and waits for it; whether every file was read.
inline bool digestFolder(const std::string& folder, digest::DigestRun& run)
{
    platform::LinuxDirectoryLister lister;
    std::vector<std::pair<std::unique_ptr<platform::IDirectory>, std::string>> folders;
    if (auto root = lister.open(folder))
        folders.emplace_back(std::move(*root), folder);
    std::vector<platform::DirEntry> entries;
    while (!folders.empty()) {
        auto [directory, path] = std::move(folders.back());
        folders.pop_back();
        entries.clear();
        if (!directory->list(entries))
            continue;
        for (const auto& entry : entries) {
            const std::string child = path + "/" + entry.name;
            if (!entry.isDirectory) {
                if (entry.name != kDigestTreeMark)
                    run.add({ child, entry.size, std::nullopt, 0 });
            } else if (auto opened = directory->openChild(entry.name)) {
                folders.emplace_back(std::move(*opened), child);
            }
        }
    }
    run.finishAdding();
    return run.wait().end == digest::RunEnd::Complete;
}

} // namespace mellowby::bench
