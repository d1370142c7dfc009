#pragma once

// What the benchmarks of the main window's work on loaded catalogs share: the browser over a
// Data folder with every catalog loaded, as at start-up, and the bare engine they are set
// against, which loads the same catalogs and selects their File elements.

#include "catalogfile.h"

#include <benchmark/benchmark.h>
#include <cstddef>
#include <string>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "fakes/unattendedbox.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"

namespace mellowby::bench {

// The main window's browser over dataDir, every catalog loaded; its boxes answer by themselves.
// The names indexes it makes go to the cache folder of the run (see runAgainstBare), where the
// browsers of later repetitions find them.
class LoadedBrowser {
public:
    explicit LoadedBrowser(const std::string& dataDir)
        : store(dataDir, fileSystem)
        , indexes(store, names::userCacheFolder())
        , browser(indexes, box)
    {
        browser.getAllXmlToTree();
    }
    LoadedBrowser(const LoadedBrowser&) = delete;
    LoadedBrowser& operator=(const LoadedBrowser&) = delete;

    fakes::UnattendedBox box;
    platform::LinuxFileSystem fileSystem;
    catalog::CatalogStore store;
    names::NamesIndexCache indexes;
    browse::CatalogBrowser browser;
};

// The bare engine, timed by state: every catalog of paths loaded as the store loads it and its
// File elements selected; each must hold filesEach of them, or the run ends as failed.
inline void loadAndSelectAll(benchmark::State& state, const std::vector<std::string>& paths, std::size_t filesEach)
{
    for (auto _ : state) {
        for (const std::string& path : paths) {
            const catalog::CatalogDocument document = loadCatalogFile(path);
            const pugi::xpath_node_set files = catalog::selectAllFiles(document);
            if (files.size() != filesEach) {
                state.SkipWithError("a catalog did not load whole");
                return;
            }
            benchmark::DoNotOptimize(files.first());
        }
    }
}

} // namespace mellowby::bench
