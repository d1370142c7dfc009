#pragma once

// The catalogs of the start-up benchmarks: 200 discs of 100 directories each, ten to a level,
// with a few files in every directory. The same seedless layout on every machine.

#include "syntheticcatalogs.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace mellowby::bench {

inline constexpr int kStartupCatalogs = 200;
inline constexpr int kStartupDirectoriesPerCatalog = 100;

inline void writeStartupCatalogs(const std::filesystem::path& dataDir)
{
    using tests::CatalogMaker;
    std::map<std::string, std::vector<platform::DirEntry>> directories;
    for (int d = 0; d < kStartupDirectoriesPerCatalog; ++d) {
        const std::string parent = d < 10 ? "" : "目录 " + std::to_string(d / 10 - 1);
        const std::string name = "目录 " + std::to_string(d);
        directories[parent].push_back(CatalogMaker::dir(name));
        for (int f = 0; f < 5; ++f)
            directories[parent.empty() ? name : parent + "/" + name].push_back(
                CatalogMaker::file("file " + std::to_string(f) + ".jpg", 4096));
    }
    CatalogMaker maker(dataDir);
    for (auto& [relative, entries] : directories)
        maker.directory(relative, std::move(entries));
    for (int c = 0; c < kStartupCatalogs; ++c)
        writeCatalog(maker, "光盘 " + std::to_string(c));
}

} // namespace mellowby::bench
