#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/archivekind.h"
#include "archive/archivelisting.h"
#include "platform/directorylister.h"
#include "platform/handoffqueue.h"
#include "scan/archivesniffer.h"
#include "scan/scanner.h"

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::scan {

class ScanDatabase;

// Lists the archives among the files of a scan as the walk finds them, on a thread of its own, and
// has each archive's status and members written into the scan's database. A regular file named as
// archives are is looked at by its first bytes, which alone decide: most such files are no archive,
// and all one costs is a read of its start through its folder, beside the walk rather than in its
// way; while the files handed over pile up, the walk looks at the next ones itself rather than wait.
// An archive that cannot be listed whole keeps what was listed and says why in its status; one
// that cannot be read at all is left a plain file. Nothing is ever written but the database. One
// thread lists, taking the files in the walk's order, so the archives reach the database in the
// order of their entries, as its reader expects their members.
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
            std::uint64_t stay = 0;
        };
        struct File {
            std::size_t folder = 0;
            std::size_t nameAt = 0;
            std::size_t nameLength = 0;
            std::uint64_t size = 0;
            std::int64_t row = 0;
            bool looked = false; // by the walk, which found sniffed
            archive::Sniffed sniffed;
        };
        std::vector<Folder> folders;
        std::vector<File> files;
        std::string text;

        WalkedFolder folderOf(const File& file) const
        {
            const Folder& folder = folders[file.folder];
            return { { text.data() + folder.pathAt, folder.pathLength }, folder.id, folder.stay };
        }
        std::string_view nameOf(const File& file) const { return { text.data() + file.nameAt, file.nameLength }; }
        void clear();
    };

    void lookAt(const Batch& batch, Batch::File& file);
    void work();
    void list(const WalkedFolder& folder, std::string_view name, std::int64_t row, archive::Sniffed sniffed);

    platform::IFileSystem& m_files;
    ScanDatabase& m_database;
    const archive::ListingLimits m_limits;
    // The walk's: the batch it fills, the folder of its last file and the number of its stay there,
    // and its own sniffer.
    Batch m_batch;
    std::string m_walkFolder;
    platform::FileId m_walkFolderId;
    std::uint64_t m_walkStay = 0;
    ArchiveSniffer m_walkSniffer { m_files };
    platform::HandoffQueue<Batch> m_queue;
    std::atomic<bool> m_stop = false;
    std::mutex m_doneMutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    ArchiveSniffer m_sniffer { m_files }; // the worker's
    ArchiveTotals m_totals; // the worker's until it is done
    std::thread m_thread; // last: everything it uses exists before it starts
};

} // namespace mellowby::scan
