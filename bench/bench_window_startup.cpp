// Time from process start to the main window shown, with 200 catalogs totalling 20,000
// directories, against reading those index twins alone in one process. Each run is a fresh
// process of this program in its child mode, which goes through the real start-up (settings, Data
// folder, drives, splash, main window loaded with every catalog) on the offscreen platform and
// exits as soon as the main window is exposed.
//
//   bench_window_startup [--runs N]

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

    const int runs = mellowby::bench::BenchOptions(argc, argv).number("--runs", 7);
    const mellowby::tests::TemporaryFolder temporary(fs::temp_directory_path(), "mellowby-bench");
    const fs::path folder = temporary.path();
    mellowby::bench::writeStartupCatalogs(folder / "Data");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::vector<std::string> twins;
    for (const auto& entry : fs::directory_iterator(folder / "Data")) {
        if (entry.path().extension() == ".idx")
            twins.push_back(entry.path().string());
    }
    std::vector<double> bare;
    std::vector<double> window;
    const std::string self = mellowby::bench::benchmarkFolder() + "/bench_window_startup";
    mellowby::bench::runSeconds({ self, "--child", folder.string() }); // warm the caches
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& twin : twins)
            (void)mellowby::bench::loadCatalogFile(twin);
        bare.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        window.push_back(mellowby::bench::runSeconds({ self, "--child", folder.string() }));
    }
    const double bareMedian = mellowby::bench::median(bare);
    const double windowMedian = mellowby::bench::median(window);
    std::printf("200 catalogs, 20000 directories\n");
    std::printf("process start to main window shown: median %.1f ms over %d runs\n", windowMedian * 1e3, runs);
    std::printf("reading the index twins alone:      median %.1f ms\n", bareMedian * 1e3);
    std::printf("ratio: %.2f\n", windowMedian / bareMedian);
    return 0;
}
