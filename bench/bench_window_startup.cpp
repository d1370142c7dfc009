// Time and peak memory from process start to the main window shown, with 200 catalogs totalling
// 20,000 directories (or the catalogs of the program folder given), against reading those index
// twins into the document model alone in one process. Each run is a fresh process of this program
// in its child mode, which goes through the real start-up (settings, Data folder, drives, splash,
// main window loaded with every catalog, the first node listed) on the offscreen platform and
// exits as soon as the main window is exposed. The names indexes are made by a first run, into a
// cache folder of the benchmark's own.
//
//   bench_window_startup [--runs N] [--program DIR]   (DIR holding Data, e.g. from bench_scale)

#include "benchoptions.h"
#include "catalogfile.h"
#include "commandtimer.h"
#include "startupcatalogs.h"
#include "windowprogram.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <QApplication>
#include <QTest>

#include "catalog/catalogreader.h"
#include "support/temporaryfolder.h"
#include "ui/frmmain.h"
#include "ui/startup.h"

namespace {

namespace fs = std::filesystem;

int runChild(int argc, char** argv, const std::string& programFolder)
{
    using namespace mellowby;
    QApplication application(argc, argv);
    bench::WindowProgram program(programFolder);
    const auto window = ui::Main(program.context);
    if (!QTest::qWaitForWindowExposed(window.get()) || window->browser().collection().count() == 0)
        return 1;
    std::fflush(stdout);
    ::_exit(0); // the figure ends when the window is shown, not when it is torn down
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--child")
        return runChild(argc, argv, argv[2]);

    const mellowby::bench::BenchOptions options(argc, argv);
    const int runs = options.number("--runs", 7);
    const mellowby::tests::TemporaryFolder temporary(fs::temp_directory_path(), "mellowby-bench");
    const fs::path given = options.path("--program");
    const fs::path folder = given.empty() ? fs::path(temporary.path()) : fs::absolute(given);
    if (given.empty())
        mellowby::bench::writeStartupCatalogs(folder / "Data");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string cache = fs::path(temporary.path()) / "cache";
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);

    std::vector<std::string> twins;
    for (const auto& entry : fs::directory_iterator(folder / "Data")) {
        if (entry.path().extension() == ".idx")
            twins.push_back(entry.path().string());
    }
    std::vector<double> bare;
    std::vector<double> window;
    std::vector<double> peaks;
    const std::string self = mellowby::bench::benchmarkFolder() + "/bench_window_startup";
    mellowby::bench::runPiped({ self, "--child", folder.string() }); // warm the caches, make the indexes
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& twin : twins)
            (void)mellowby::bench::loadCatalogFile(twin);
        bare.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        const auto figures = mellowby::bench::runPiped({ self, "--child", folder.string() });
        window.push_back(figures.seconds);
        peaks.push_back(figures.peakBytes / 1048576.0);
    }
    const double bareMedian = mellowby::bench::median(bare);
    const double windowMedian = mellowby::bench::median(window);
    std::printf("%zu catalogs in %s\n", twins.size(), (folder / "Data").c_str());
    std::printf("process start to main window shown: median %.1f ms, peak %.1f MB over %d runs\n", windowMedian * 1e3,
        mellowby::bench::median(peaks), runs);
    std::printf("reading the index twins alone:      median %.1f ms\n", bareMedian * 1e3);
    std::printf("ratio: %.2f\n", windowMedian / bareMedian);
    return 0;
}
