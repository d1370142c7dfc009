#pragma once

// What the benchmarks that time the command-line tool share: their options, the folder they run
// from (where the build puts mellowby-cli too), a folder of their own and the tree they scan.

#include "synthetictree.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/programpath.h"
#include "support/temporaryfolder.h"

namespace mellowby::bench {

// The "--name value" pairs of a benchmark's command line; of a name given twice, the last value.
class BenchOptions {
public:
    BenchOptions(int argc, char** argv)
    {
        for (int i = 1; i + 1 < argc; i += 2)
            m_values[argv[i]] = argv[i + 1];
    }

    std::size_t count(const std::string& name, std::size_t otherwise) const
    {
        const auto found = m_values.find(name);
        return found == m_values.end() ? otherwise : std::stoul(found->second);
    }
    int number(const std::string& name, int otherwise) const
    {
        const auto found = m_values.find(name);
        return found == m_values.end() ? otherwise : std::stoi(found->second);
    }
    std::string text(const std::string& name, const std::string& otherwise) const
    {
        const auto found = m_values.find(name);
        return found == m_values.end() ? otherwise : found->second;
    }
    // Empty when not given.
    std::filesystem::path path(const std::string& name) const
    {
        const auto found = m_values.find(name);
        return found == m_values.end() ? std::filesystem::path() : std::filesystem::path(found->second);
    }

private:
    std::map<std::string, std::string> m_values;
};

// The folder of the running benchmark; ends the benchmark when it cannot be found.
inline std::string benchmarkFolder()
{
    const auto folder = platform::runningExecutableFolder();
    if (!folder) {
        std::fprintf(stderr, "cannot find the program folder\n");
        std::exit(1);
    }
    return *folder;
}

inline std::string commandLineTool()
{
    return benchmarkFolder() + "/mellowby-cli";
}

// What every benchmark of the tool starts from: its options, the tool, a folder of its own (that
// the names indexes the tool makes go to, as the catalogs do, rather than the user's cache) and
// the tree to scan: the one given with --tree, or else one of --files files built in that folder.
class ToolBenchmark {
public:
    ToolBenchmark(int argc, char** argv, std::size_t defaultFiles)
        : options(argc, argv)
        , tree(treeToScan(options.count("--files", defaultFiles)))
    {
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(cache);
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    }

    const BenchOptions options;
    const int runs = options.number("--runs", 5);
    const std::string cli = commandLineTool();
    const tests::TemporaryFolder work { std::filesystem::temp_directory_path(), "mellowby-bench" };
    const std::string data = work / "Data";
    const std::string cache = work / "cache";
    const std::filesystem::path tree; // absolute, as the tool records it

private:
    std::filesystem::path treeToScan(std::size_t files) const
    {
        std::filesystem::path given = options.path("--tree");
        if (!given.empty())
            return std::filesystem::absolute(given).lexically_normal();
        const std::filesystem::path built = std::filesystem::path(work.path()) / "tree";
        std::printf("building a tree of %zu files in %s ...\n", files, built.c_str());
        buildSyntheticTree(built, files);
        return built;
    }
};

} // namespace mellowby::bench
