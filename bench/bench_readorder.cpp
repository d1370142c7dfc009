// Reads the small and the middling files of the digests' tree (see digesttree.h) from the device
// rather than the page cache (each folder dropped from the cache first) in each way the library
// knows: one reader in the order of the data on the device, one reader in the order of the walk,
// several readers at once; and prints what each took. What it prints says which way suits the
// device the tree lies on, whatever sysfs calls it.
//
//   bench_readorder [--tree DIR] [--readers N]

#include "benchoptions.h"
#include "digesttree.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "digest/digestrun.h"
#include "fakes/faultyfilereading.h"
#include "platform/linux/linuxfilereading.h"

namespace fs = std::filesystem;
using mellowby::platform::StorageKind;

namespace {

void dropFromPageCache(const fs::path& folder)
{
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const mellowby::bench::BenchOptions options(argc, argv);
    const fs::path tree = mellowby::bench::digestTree(options.path("--tree"));
    const auto readers = static_cast<unsigned>(options.number("--readers", 4));
    struct Way {
        std::string name;
        StorageKind kind;
        bool placesTold;
    };
    const Way ways[] = { { "one reader, order of the data", StorageKind::Rotational, true },
        { "one reader, order of the walk", StorageKind::Rotational, false },
        { std::to_string(readers) + " readers at once", StorageKind::Solid, false } };
    mellowby::platform::LinuxFileReading real;
    std::printf("%s lies on a device that sysfs calls %s\n", tree.c_str(),
        real.storageKindOf(tree) == StorageKind::Rotational ? "rotational" : "something else");
    for (const char* group : { "small", "middle" }) {
        const fs::path folder = tree / group;
        for (const auto& way : ways) {
            dropFromPageCache(folder);
            // Without places given, the fake says the file system does not tell them.
            mellowby::fakes::FaultyFileReading hidingPlaces(real);
            mellowby::digest::DigestOptions digestOptions;
            digestOptions.storage = way.kind;
            digestOptions.cores = readers;
            mellowby::digest::DigestRun run(
                way.placesTold ? static_cast<mellowby::platform::IFileReading&>(real) : hidingPlaces, digestOptions,
                [](const mellowby::digest::FileDigest&) {});
            const auto start = std::chrono::steady_clock::now();
            mellowby::bench::digestFolder(folder.string(), run);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const auto progress = run.progress();
            std::printf("%-7s %-30s %6.2f s, %7.1f MB/s, %8.0f files/s\n", group, way.name.c_str(), seconds,
                static_cast<double>(progress.bytesDone) / 1e6 / seconds,
                static_cast<double>(progress.filesDone) / seconds);
        }
    }
    return 0;
}
