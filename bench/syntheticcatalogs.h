#pragma once

// Catalogs for the benchmarks, written by the program's own writer from trees held in memory,
// into a temporary Data folder that lives as long as the object. Also a reporter that keeps the
// median of each benchmark so that a benchmark can print its cost against the bare engine's.

#include "scan/scanner.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/datetext.h"
#include "fakes/fakedirectorylister.h"
#include "platform/directorylister.h"
#include "platform/linux/linuxfilesystem.h"
#include "platform/messagebox.h"

namespace mellowby::bench {

// The trees the benchmarks catalogue, in memory.
class MemoryLister final {
public:
    void add(const std::string& path, std::vector<platform::DirEntry> entries)
    {
        m_tree.addDirectory(path, std::move(entries));
    }
    platform::IDirectoryLister& lister() { return m_tree; }

private:
    fakes::FakeDirectoryLister m_tree;
};

// Answers Yes and Ok, and says on stderr that a box came up: a benchmark should show none.
class QuietBox final : public platform::IMessageBox {
public:
    platform::MessageAnswer show(const platform::MessageRequest& request) override
    {
        std::fprintf(stderr, "box: %s (%s)\n", request.text.c_str(), request.title.c_str());
        return request.buttons == platform::MessageButtons::YesNo ? platform::MessageAnswer::Yes
                                                                  : platform::MessageAnswer::Ok;
    }
    std::optional<std::string> prompt(const std::string&, const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
};

inline platform::DirEntry fileEntry(std::string name, std::uint64_t size, std::int64_t created)
{
    return fakes::FakeDirectoryLister::file(std::move(name), size, created);
}
inline platform::DirEntry directoryEntry(std::string name, std::int64_t created)
{
    return fakes::FakeDirectoryLister::directory(std::move(name), created);
}

// Some day between 1996 and 2004, so that the dates repeat as in a real collection.
inline std::int64_t creationTime(std::size_t n)
{
    return 820454400 + static_cast<std::int64_t>(n % 3000) * 86400 + 3600;
}

class DataFolder {
public:
    DataFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mellowby-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::exit(EXIT_FAILURE);
        }
        m_path = pattern;
    }
    DataFolder(const DataFolder&) = delete;
    DataFolder& operator=(const DataFolder&) = delete;
    ~DataFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::string& path() const { return m_path; }

    // Writes the catalog `name` of the tree in lister, rooted at root.
    void write(MemoryLister& lister, const std::string& root, const std::string& name)
    {
        QuietBox box;
        const app::Settings settings;
        platform::LinuxFileSystem fileSystem;
        const catalog::DateFormatter dates("zh_CN");
        const catalog::CatalogStore store(m_path, fileSystem);
        scan::ScanContext context { store, settings, lister.lister(), box, dates, nullptr };
        if (!scan::genXml(context, root, name)) {
            std::fprintf(stderr, "could not write the catalog %s\n", name.c_str());
            std::exit(EXIT_FAILURE);
        }
    }

private:
    std::string m_path;
};

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

} // namespace mellowby::bench
