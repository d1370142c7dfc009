#pragma once

// A reporter that keeps the median of each benchmark, so that a benchmark can print its cost
// against the bare engine's, and the main of the benchmarks that do.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temporaryfolder.h"

namespace mellowby::bench {

// Keeps the median real time of every benchmark run with repetitions.
class MedianReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints measured / bare as a ratio; false when either was not run.
    bool printRatio(const std::string& measured, const std::string& bare) const
    {
        const auto m = m_medians.find(measured);
        const auto b = m_medians.find(bare);
        if (m == m_medians.end() || b == m_medians.end() || b->second <= 0)
            return false;
        std::printf("\n%s / %s (medians): %.3f / %.3f ms = %.2f\n", measured.c_str(), bare.c_str(), m->second,
            b->second, m->second / b->second);
        return true;
    }

private:
    std::map<std::string, double> m_medians;
};

// Runs the benchmarks the command line asks for, then prints the median of measured against
// that of bare. The names indexes they make go to a cache folder of the run's own, not to the
// user's.
inline int runAgainstBare(int argc, char** argv, const std::string& measured, const std::string& bare)
{
    const tests::TemporaryFolder cache(std::filesystem::temp_directory_path(), "mellowby-bench");
    ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio(measured, bare);
    benchmark::Shutdown();
    return 0;
}

} // namespace mellowby::bench
