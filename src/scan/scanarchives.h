#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/archivelisting.h"
#include "platform/handoffqueue.h"
#include "scan/scanner.h"

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::scan {

class ScanDatabase;

// Lists the archives among the files of a scan as the walk finds them, on a thread of its own, and
// has each archive's status and members written into the scan's database. Every regular file is
// looked at by its first bytes (never by its name): most are no archive, and all that costs is
// opening them, which happens beside the walk rather than in its way. An archive that cannot be
// listed whole keeps what was listed and says why in its status; one that cannot be read at all is
// left a plain file. Nothing is ever written but the database. One thread, taking the files in the
// walk's order, so the archives reach the database in the order of their entries, as its reader
// expects their members.
class ScanArchives {
public:
    // The archives named among those not listed whole: enough to tell what went wrong.
    static constexpr std::size_t kNamedIncomplete = 10;

    ScanArchives(platform::IFileSystem& files, ScanDatabase& database, archive::ListingLimits limits = {});
    ~ScanArchives();
    ScanArchives(const ScanArchives&) = delete;
    ScanArchives& operator=(const ScanArchives&) = delete;

    // The regular file at path that the walk wrote as row (entries.id).
    void add(const std::string& path, std::uint64_t size, std::int64_t row);
    // Waits for the files given, telling observer how far the scan is a few times a second; false
    // when it asked to stop (the listing is then stopped).
    bool finish(IScanObserver* observer, const ScanProgress& progress);
    // Once finish() has returned true.
    ArchiveTotals totals() const;

private:
    struct Pending {
        std::string path;
        std::int64_t row = 0;
    };

    void work();
    void look(const Pending& file);

    platform::IFileSystem& m_files;
    ScanDatabase& m_database;
    const archive::ListingLimits m_limits;
    std::vector<Pending> m_batch; // filled by the walk
    platform::HandoffQueue<std::vector<Pending>> m_queue;
    std::atomic<bool> m_stop = false;
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    ArchiveTotals m_totals; // the worker's until it is done
    std::thread m_thread; // last: everything it uses exists before it starts
};

} // namespace mellowby::scan
