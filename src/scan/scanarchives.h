#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/archivelisting.h"
#include "platform/directorylister.h"
#include "platform/handoffqueue.h"
#include "scan/scanner.h"

namespace mellowby::platform {
class IFileSystem;
class IReadableFolder;
} // namespace mellowby::platform

namespace mellowby::scan {

class ScanDatabase;

// Lists the archives among the files of a scan as the walk finds them, on a thread of its own, and
// has each archive's status and members written into the scan's database. A regular file named as
// archives are is looked at by its first bytes, which alone decide: most such files are no archive,
// and all one costs is a read of its start through its folder, beside the walk rather than in its
// way. An archive that cannot be listed whole keeps what was listed and says why in its status; one
// that cannot be read at all is left a plain file. Nothing is ever written but the database. One
// thread, taking the files in the walk's order, so the archives reach the database in the order of
// their entries, as its reader expects their members.
class ScanArchives {
public:
    // The archives named among those not listed whole: enough to tell what went wrong.
    static constexpr std::size_t kNamedIncomplete = 10;

    ScanArchives(platform::IFileSystem& files, ScanDatabase& database, archive::ListingLimits limits = {});
    ~ScanArchives();
    ScanArchives(const ScanArchives&) = delete;
    ScanArchives& operator=(const ScanArchives&) = delete;

    // The regular file entry of the folder at folderPath (folderId as the walk opened it) that the
    // walk wrote as row (entries.id).
    void add(
        const std::string& folderPath, platform::FileId folderId, const platform::DirEntry& entry, std::int64_t row);
    // Waits for the files given, telling observer how far the scan is a few times a second; false
    // when it asked to stop (the listing is then stopped).
    bool finish(IScanObserver* observer, const ScanProgress& progress);
    // Once finish() has returned true.
    ArchiveTotals totals() const;

private:
    // Files handed over at a time, with the paths of their folders once each and every name in one
    // string: filling one allocates nothing once it has been used before.
    struct Batch {
        struct Folder {
            std::size_t pathAt = 0;
            std::size_t pathLength = 0;
            platform::FileId id;
        };
        struct File {
            std::size_t folder = 0;
            std::size_t nameAt = 0;
            std::size_t nameLength = 0;
            std::uint64_t size = 0;
            std::int64_t row = 0;
        };
        std::vector<Folder> folders;
        std::vector<File> files;
        std::string text;

        std::string_view pathOf(const Folder& folder) const
        {
            return { text.data() + folder.pathAt, folder.pathLength };
        }
        std::string_view nameOf(const File& file) const { return { text.data() + file.nameAt, file.nameLength }; }
        void clear();
    };

    void work();
    void look(platform::IReadableFolder& folder, std::string_view name, const Batch::File& file);
    platform::IReadableFolder* folderOf(std::string_view path, platform::FileId id);

    platform::IFileSystem& m_files;
    ScanDatabase& m_database;
    const archive::ListingLimits m_limits;
    Batch m_batch; // filled by the walk
    platform::HandoffQueue<Batch> m_queue;
    std::atomic<bool> m_stop = false;
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    // The worker's: the folder of the files in hand, kept open while they come from it, and the
    // name of the file in hand.
    std::string m_folderPath;
    platform::FileId m_folderId;
    std::unique_ptr<platform::IReadableFolder> m_folder;
    std::string m_name;
    ArchiveTotals m_totals; // the worker's until it is done
    std::thread m_thread; // last: everything it uses exists before it starts
};

} // namespace mellowby::scan
