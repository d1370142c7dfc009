#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "digest/digestrun.h"
#include "digest/hasher.h"
#include "platform/linux/linuxfilereading.h"
#include "support/temporaryfolder.h"

namespace mellowby::tests {

inline std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

// The file at path as a run is given it, with the size it has now.
inline digest::FileToDigest fileToDigest(const std::string& path)
{
    struct stat status { };
    ::stat(path.c_str(), &status);
    return { path, static_cast<std::uint64_t>(status.st_size), std::nullopt, 0 };
}

// Runs files through a run and collects what became of each, by path.
struct Outcomes {
    std::map<std::string, digest::FileDigest> byPath;
    std::vector<std::string> order;
    digest::RunSummary summary;
    digest::DigestProgress progress;

    const digest::FileDigest& at(const std::string& path) const { return byPath.at(path); }
};

inline Outcomes digestAll(platform::IFileReading& reading, const std::vector<digest::FileToDigest>& files,
    const digest::DigestOptions& options = {})
{
    Outcomes outcomes;
    std::mutex mutex;
    digest::DigestRun run(reading, options, [&](digest::FileDigest outcome) {
        std::lock_guard lock(mutex);
        outcomes.order.push_back(outcome.file.path);
        outcomes.byPath.emplace(outcome.file.path, std::move(outcome));
    });
    for (const auto& file : files) {
        if (!run.add(file))
            break;
    }
    run.finishAdding();
    outcomes.summary = run.wait();
    outcomes.progress = run.progress();
    return outcomes;
}

inline std::vector<digest::FileToDigest> filesToDigest(const std::vector<std::string>& paths)
{
    std::vector<digest::FileToDigest> files;
    for (const auto& path : paths)
        files.push_back(fileToDigest(path));
    return files;
}

// The digest of bytes in one piece, for files whose tool digests another test holds against
// the library.
inline std::string digestText(
    std::string_view bytes, digest::DigestAlgorithm algorithm = digest::DigestAlgorithm::Xxh128)
{
    digest::Hasher hasher(algorithm);
    hasher.update(bytes);
    return hasher.finish().text();
}

// What a tool ("xxhsum -H2", "sha256sum") prints for each file ("hex  path"), by path.
inline std::map<std::string, std::string> toolDigests(const std::string& tool, const std::vector<std::string>& paths)
{
    std::string command = tool;
    for (const auto& path : paths)
        command += " '" + path + "'";
    command += " 2>/dev/null";
    std::map<std::string, std::string> digests;
    const std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), &::pclose);
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string text(line);
        const auto gap = text.find("  ");
        if (gap != std::string::npos && text.ends_with('\n'))
            digests[text.substr(gap + 2, text.size() - gap - 3)] = text.substr(0, gap);
    }
    return digests;
}

} // namespace mellowby::tests
