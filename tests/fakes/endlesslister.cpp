#include "fakes/endlesslister.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "fakes/fakedirectorylister.h"
#include "support/dates.h"

namespace mellowby::fakes {

std::expected<void, platform::Error> EndlessLister::listPath(
    const std::string& path, std::vector<platform::DirEntry>& out)
{
    ++inFlight;
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    out.push_back(FakeDirectoryLister::file("f.txt", 1, tests::kMarch15));
    if (std::ranges::count(path, '/') < 6) {
        for (int i = 0; i < 10; ++i)
            out.push_back(FakeDirectoryLister::directory("d" + std::to_string(i), tests::kMarch15));
    }
    --inFlight;
    return {};
}

} // namespace mellowby::fakes
