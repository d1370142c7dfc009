#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <iterator>
#include <map>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/messagebox.h"
#include "platform/temporarynames.h"
#include "support/temporaryfolder.h"
#include "support/unprivileged.h"

namespace mellowby::platform {

// Readable failure messages for the boxes a test expects.
inline void PrintTo(const MessageRequest& request, std::ostream* out)
{
    *out << "{ \"" << request.text << "\", \"" << request.title << "\", icon " << static_cast<int>(request.icon)
         << ", buttons " << static_cast<int>(request.buttons) << " }";
}

} // namespace mellowby::platform

namespace mellowby::hardening {

using tests::readFile;
using tests::runUnprivileged;
using tests::TemporaryFolder;
using tests::writeFile;

// The sanitizer build runs every instrumented line several times slower, so the biggest inputs
// shrink there unless MELLOWBY_HARDENING_FULL=1 asks for the full sizes anyway.
inline bool reducedSizes()
{
#if defined(__SANITIZE_ADDRESS__)
    const char* full = std::getenv("MELLOWBY_HARDENING_FULL");
    return full == nullptr || std::string_view(full) != "1";
#else
    return false;
#endif
}

inline std::size_t scaled(std::size_t full, std::size_t reduced)
{
    return reducedSizes() ? reduced : full;
}

// The names in a folder, sorted; hidden ones included.
inline std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().native());
    std::sort(names.begin(), names.end());
    return names;
}

// Files a scan writes under a temporary name before it renames them into place.
inline std::vector<std::string> scanLeftovers(const std::string& dataDir)
{
    std::vector<std::string> left;
    for (const auto& name : folderNames(dataDir)) {
        if (platform::writerOfTemporaryName(name))
            left.push_back(name);
    }
    return left;
}

// Runs action on a thread of its own and waits for it at most limit. A hang must fail the test,
// not stall the run: when the limit passes, unblock is called until the action returns (for a
// reader stuck on a FIFO it opens the writing end, which lets the reader go on).
inline bool finishesWithin(
    std::chrono::milliseconds limit, const std::function<void()>& action, const std::function<void()>& unblock)
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread worker([&] {
        action();
        const std::lock_guard lock(mutex);
        finished = true;
        done.notify_all();
    });
    bool inTime = false;
    {
        std::unique_lock lock(mutex);
        inTime = done.wait_for(lock, limit, [&] { return finished; });
        while (!finished) {
            lock.unlock();
            unblock();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            lock.lock();
        }
    }
    worker.join();
    return inTime;
}

// Lets a reader blocked in opening or reading the FIFO at path go on.
inline void releaseFifoReader(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
}

// Boxes shown more than once among requests: a damaged input must say so once per fill, not
// once per row.
inline std::vector<std::string> repeatedBoxes(const std::vector<platform::MessageRequest>& requests)
{
    std::map<std::pair<std::string, std::string>, int> seen;
    std::vector<std::string> repeated;
    for (const auto& request : requests) {
        if (++seen[{ request.text, request.title }] == 2)
            repeated.push_back(request.title + ": " + request.text);
    }
    return repeated;
}

// What the tests of one run put in front of the program, reported when the run ends.
struct Tally {
    std::size_t names = 0;
    std::size_t catalogs = 0;
    std::size_t faults = 0;
};

inline Tally& tally()
{
    static Tally counts;
    return counts;
}

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace mellowby::hardening
