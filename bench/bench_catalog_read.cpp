// Read throughput of a large catalog: loading it (reading, decoding GB2312, parsing) and selecting
// every File element, which is what each search does once per catalog. Bytes are counted as they
// lie on disk.

#include "loadedcatalogs.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <string>

#include "catalog/catalogreader.h"
#include "support/temporaryfolder.h"

namespace {

// GB2312 bytes of the Chinese texts in the catalog.
constexpr const char* kYear = "\xC4\xEA"; // 年
constexpr const char* kMonth = "\xD4\xC2"; // 月
constexpr const char* kDay = "\xC8\xD5"; // 日
constexpr const char* kFolderName = "\xC4\xBF\xC2\xBC"; // 目录
constexpr const char* kPhotoName = "\xD5\xD5\xC6\xAC"; // 照片
constexpr const char* kFileName = "\xCE\xC4\xBC\xFE\xC3\xFB\xB3\xC6"; // 文件名称

constexpr int kTopDirectories = 400;
constexpr int kSubDirectories = 5;
constexpr int kFilesPerDirectory = 100;
constexpr std::size_t kFileCount = std::size_t { kTopDirectories } * kSubDirectories * kFilesPerDirectory;

std::string date(int n)
{
    return std::to_string(1995 + n % 30) + kYear + std::to_string(1 + n % 12) + kMonth + std::to_string(1 + n % 28)
        + kDay;
}

// A catalog as the writer produces it: 200,000 File lines in two levels of Directory elements,
// GB2312, CR LF, one element per line. It lives in its own temporary folder for the whole run.
class SyntheticCatalog {
public:
    SyntheticCatalog()
        : m_path(m_folder / "large.xml")
    {
        std::string text = "<?xml version =\"1.0\" encoding =\"GB2312\" standalone=\"yes\" ?>\r\n"
                           "<Disk title=\"Large\" Label=\"E:\\\">\r\n";
        int n = 0;
        for (int top = 0; top < kTopDirectories; ++top) {
            text += "<Directory title=\"" + std::string(kFolderName) + " " + std::to_string(top) + "\" CreateDate=\""
                + date(top) + "\">\r\n";
            for (int sub = 0; sub < kSubDirectories; ++sub) {
                text += "<Directory title=\"" + std::string(kPhotoName) + " &amp; " + std::to_string(sub)
                    + "\" CreateDate=\"" + date(sub) + "\">\r\n";
                for (int file = 0; file < kFilesPerDirectory; ++file, ++n) {
                    text += "<File CreateDate=\"" + date(n) + "\" FileSize=\"" + std::to_string(n % 40000) + "KB\">"
                        + kFileName + "_IMG_" + std::to_string(100000 + n) + "_holiday_photo.jpg</File>\r\n";
                }
                text += "</Directory>\r\n";
            }
            text += "</Directory>\r\n";
        }
        text += "</Disk>\r\n";

        mellowby::tests::writeFile(m_path, text);
        m_size = text.size();
    }

    const std::string& path() const { return m_path; }
    std::size_t size() const { return m_size; }

private:
    const mellowby::tests::TemporaryFolder m_folder { std::filesystem::temp_directory_path(), "mellowby-bench" };
    std::string m_path;
    std::size_t m_size = 0;
};

const SyntheticCatalog& catalog()
{
    static const SyntheticCatalog instance;
    return instance;
}

void BM_LoadAndSelectAllFiles(benchmark::State& state)
{
    const SyntheticCatalog& source = catalog();
    mellowby::bench::loadAndSelectAll(state, { source.path() }, kFileCount);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(source.size()));
    state.counters["catalog_MB"] = static_cast<double>(source.size()) / 1e6;
}

void BM_LoadOnly(benchmark::State& state)
{
    const SyntheticCatalog& source = catalog();
    for (auto _ : state) {
        const mellowby::catalog::CatalogDocument document = mellowby::bench::loadCatalogFile(source.path());
        if (!document.loaded()) {
            state.SkipWithError("the catalog did not load");
            break;
        }
        benchmark::DoNotOptimize(document.documentElement());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(source.size()));
}

} // namespace

BENCHMARK(BM_LoadAndSelectAllFiles)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
