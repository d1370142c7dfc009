// The window's work at ten million files, each measured in a fresh process of this program (its
// child mode) for its time and its peak memory, against the way it was done before in the same run:
//
//  - the tree of one catalog of --files files (a folder every 40 files) filled from its index
//    twin read a piece at a time, against the same start with every twin read through the
//    document model;
//  - the same for a shelf of --shelf catalogs of --shelf-files files each;
//  - the first use of the big catalog: its names index made with what grows with the files in
//    scratch files, against the same index made in memory and written out;
//  - dupes over the shelf, where every file has a copy on every disc, against one bare pass over
//    every file of the shelf (dupes makes two).
//
//   bench_scale [--files N] [--shelf N] [--shelf-files N] [--runs N] [--data DIR]
//
// With --data, the catalogs are written there (big/Data and shelf/Data) and kept for later runs,
// which use them as they are.

#include "benchoptions.h"
#include "commandtimer.h"
#include "syntheticcatalog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "browse/catalogbrowser.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "fakes/unattendedbox.h"
#include "names/catalogstreamreader.h"
#include "names/namesindexbuilder.h"
#include "names/namesindexcache.h"
#include "platform/linux/linuxfilesystem.h"
#include "search/catalogfiles.h"
#include "search/duplicates.h"
#include "support/temporaryfolder.h"

namespace {

namespace fs = std::filesystem;
using namespace mellowby;

// The program's services over a Data folder, as the window has them.
struct Program {
    explicit Program(const std::string& data)
        : store(data, fileSystem)
    {
    }
    fakes::UnattendedBox box;
    platform::LinuxFileSystem fileSystem;
    catalog::CatalogStore store;
    names::NamesIndexCache indexes { store, names::userCacheFolder() };
};

std::vector<std::string> catalogsIn(const std::string& data)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(data)) {
        const std::string stem = entry.path().stem().string();
        if (entry.path().extension() == ".xml")
            names.push_back(stem);
    }
    std::ranges::sort(names);
    return names;
}

// Where an index made in memory goes, as the cache would keep it.
class FileSink final : public names::IIndexSink {
public:
    explicit FileSink(const std::string& path)
        : m_file(std::fopen(path.c_str(), "w+b"))
    {
    }
    ~FileSink() override { std::fclose(m_file); }
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    std::expected<void, platform::Error> write(std::string_view bytes) override
    {
        std::fseek(m_file, 0, SEEK_END);
        std::fwrite(bytes.data(), 1, bytes.size(), m_file);
        return {};
    }
    std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        std::fseek(m_file, static_cast<long>(offset), SEEK_SET);
        std::fwrite(bytes.data(), 1, bytes.size(), m_file);
        return {};
    }

private:
    std::FILE* m_file;
};

// One measured piece of work; its exit status says whether it did what it should.
int runChild(const std::string& mode, const std::string& data, const std::string& out)
{
    Program program(data);
    const std::vector<std::string> catalogs = catalogsIn(data);
    if (mode == "tree") {
        browse::CatalogBrowser browser(program.indexes, program.box);
        browser.getAllXmlToTree();
        return browser.collection().count() == catalogs.size() ? 0 : 1;
    }
    if (mode == "tree-model") {
        const names::NamesIndexCache throughTheModel(program.store, std::nullopt, true);
        browse::CatalogBrowser browser(throughTheModel, program.box);
        browser.getAllXmlToTree();
        return browser.collection().count() == catalogs.size() ? 0 : 1;
    }
    if (mode == "index") {
        return program.indexes.indexOf(catalogs.at(0)) ? 0 : 1;
    }
    if (mode == "index-memory") {
        auto catalog = program.fileSystem.openForReading(data + "/" + catalogs.at(0) + ".xml");
        if (!catalog)
            return 1;
        names::NamesIndexBuilder builder;
        if (!names::CatalogStreamReader::read(**catalog, builder))
            return 1;
        FileSink sink(out);
        return builder.write({ data, catalogs.at(0) + ".xml", (*catalog)->stamp() }, sink) ? 0 : 1;
    }
    if (mode == "dupes") {
        const auto found = search::findDuplicates(program.indexes, program.box, catalogs, 0);
        return found.groups().empty() ? 1 : 0;
    }
    if (mode == "files") {
        std::size_t files = 0;
        for (const std::string& catalog : catalogs)
            search::forEachCatalogFile(program.indexes, program.box, catalog,
                [&](const search::CatalogFile& file) { files += file.location.empty() ? 0 : 1; });
        return files > 0 ? 0 : 1;
    }
    return 2;
}

// Wall-clock seconds, processor seconds (user and system, steadier on a shared machine) and peak
// resident memory.
struct Figures {
    double seconds = 0;
    double processorSeconds = 0;
    double megabytes = 0;
};

// The medians of runs of the child mode; before each, prepare.
template <typename Prepare> Figures measure(const std::vector<std::string>& command, int runs, Prepare prepare)
{
    std::vector<double> seconds;
    std::vector<double> processor;
    std::vector<double> peaks;
    for (int run = 0; run < runs; ++run) {
        prepare();
        const auto figures = bench::runPiped(command);
        seconds.push_back(figures.seconds);
        processor.push_back(figures.processorSeconds);
        peaks.push_back(figures.peakBytes / 1048576.0);
    }
    return { bench::median(seconds), bench::median(processor), bench::median(peaks) };
}

void report(const char* what, const Figures& now, const Figures& before, const char* beforeWhat, double targetSeconds,
    double targetMegabytes)
{
    std::printf("%s: %.3f s (processor %.3f s), %.1f MB; target %.1f s, %.0f MB: %s\n", what, now.seconds,
        now.processorSeconds, now.megabytes, targetSeconds, targetMegabytes,
        now.seconds <= targetSeconds && now.megabytes <= targetMegabytes ? "met" : "NOT MET");
    std::printf("    %s: %.3f s (processor %.3f s), %.1f MB; ratios %.2f time, %.2f processor, %.2f memory\n",
        beforeWhat, before.seconds, before.processorSeconds, before.megabytes, now.seconds / before.seconds,
        now.processorSeconds / before.processorSeconds, now.megabytes / before.megabytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--child")
        return runChild(argv[2], argv[3], argv[4]);

    const bench::BenchOptions options(argc, argv);
    const std::size_t files = options.count("--files", 10'000'000);
    const std::size_t shelf = options.count("--shelf", 1000);
    const std::size_t shelfFiles = options.count("--shelf-files", 2000);
    const int runs = options.number("--runs", 5);
    const tests::TemporaryFolder work(fs::temp_directory_path(), "mellowby-bench");
    const fs::path given = options.path("--data");
    const fs::path root = given.empty() ? fs::path(work.path()) / "data" : fs::absolute(given);
    // Each a program folder with its Data folder, which bench_window_startup --program takes too.
    const std::string big = root / "big" / "Data";
    const std::string shelved = root / "shelf" / "Data";
    const std::string cache = fs::path(work.path()) / "cache";
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    if (!fs::exists(fs::path(big) / "big.xml")) {
        std::printf(
            "writing a catalog of %zu files and %zu of %zu files in %s ...\n", files, shelf, shelfFiles, root.c_str());
        std::fflush(stdout);
        fs::create_directories(big);
        fs::create_directories(shelved);
        bench::writeSyntheticCatalog(big, "big", files);
        // The same names on every disc: every file has a copy on each.
        for (std::size_t disc = 0; disc < shelf; ++disc)
            bench::writeSyntheticCatalog(shelved, "disc " + std::to_string(disc), shelfFiles);
    }
    std::printf("catalog %.1f MB, twin %.1f MB; medians of %d runs, each a fresh process\n",
        static_cast<double>(fs::file_size(fs::path(big) / "big.xml")) / 1e6,
        static_cast<double>(fs::file_size(fs::path(big) / "big.idx")) / 1e6, runs);

    const std::string self = bench::benchmarkFolder() + "/bench_scale";
    const auto child = [&](const std::string& mode, const std::string& data) {
        return std::vector<std::string> { self, "--child", mode, data, (fs::path(work.path()) / "index.out").string() };
    };
    const auto nothing = [] {};
    const auto emptyCache = [&] { fs::remove_all(cache); };
    for (const char* mode : { "tree", "tree-model" })
        bench::runPiped(child(mode, big)); // warm the page cache

    const Figures tree = measure(child("tree", big), runs, nothing);
    const Figures treeModel = measure(child("tree-model", big), runs, nothing);
    report("tree of the big catalog", tree, treeModel, "document model", 0.3, 120);
    const Figures shelfTree = measure(child("tree", shelved), runs, nothing);
    const Figures shelfModel = measure(child("tree-model", shelved), runs, nothing);
    report("tree of the shelf", shelfTree, shelfModel, "document model", 0.2, 120);

    const Figures index = measure(child("index", big), runs, emptyCache);
    const Figures indexMemory = measure(child("index-memory", big), runs, emptyCache);
    report("first use: names index made", index, indexMemory, "made in memory", 5, 256);

    bench::runPiped(child("files", shelved)); // the shelf's indexes made
    const Figures dupes = measure(child("dupes", shelved), runs, nothing);
    const Figures bare = measure(child("files", shelved), runs, nothing);
    report("dupes over the shelf", dupes, bare, "one bare pass", 1, 150);
    return 0;
}
