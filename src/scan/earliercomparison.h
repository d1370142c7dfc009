#pragma once

#include "catalogdb/catalogfilefinder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/earliercatalog.h"
#include "scan/earlierchanges.h"

namespace mellowby::platform {
struct DirEntry;
}

namespace mellowby::catalogdb {
struct EntriesWritten;
}

namespace mellowby::scan {

class ScanDigests;

// Holds each file a scan again of a catalog writes against the catalog it replaces, by its path
// below the scanned folder, as the walk gives them: the earlier catalog is read beside the walk,
// and the files met before it is there wait for it. A regular file goes on to the scan's digests
// with the earlier file when it is the same, so that its digest is kept rather than read again.
// Everything on the walk's thread; only what changed is kept, so that an unchanged tree of
// millions of files costs no more than its earlier catalog.
//
// An earlier catalog whose digests are read alone (see EarlierCatalog) is not read whole at once:
// a tree scanned again unchanged writes the very entries the earlier database hashed, and then
// keeps all its digests without a file or an earlier row read. The files wait for the end of the
// walk to tell; only once they are too many to wait, or the entries turn out otherwise, are the
// earlier files read and the files held against them as above.
class EarlierComparison {
public:
    // root: the scanned folder; digests: the scan's, when it makes them. mostWaiting: the files
    // that wait while the digests alone may do, past which the earlier files are read.
    EarlierComparison(EarlierCatalog earlier, std::string root, ScanDigests* digests,
        std::size_t mostWaiting = EarlierCatalog::kMostEntriesAlone);

    // A File element the walk wrote for entry, in folder (its whole path), as row (entries.id).
    void add(const std::string& folder, const platform::DirEntry& entry, std::int64_t row);
    // Once the walk has ended, with the entries written: waits for the earlier catalog, and the
    // files that waited for it go on. Once it turns out unusable, the files are dropped, none
    // read; the scan then fails. entriesWritten is asked only while the digests alone may do.
    void finishWalk(const std::function<std::optional<catalogdb::EntriesWritten>()>& entriesWritten);
    // Once the walk has ended: the earlier catalog turned out unusable.
    bool unusable() const { return m_unusable; }
    // Once the digests are finished too.
    EarlierChanges changes() const;

private:
    // What is compared of a file, besides its path.
    struct FileFacts {
        std::optional<std::uint64_t> size;
        std::optional<std::int64_t> modifiedNs;
        std::int64_t row = 0;
        bool digestible = false;
    };
    // The files waiting for the earlier catalog, in the walk's order: each folder's path once and
    // every name in one text, so that a file waiting costs no allocation of its own.
    struct Waiting {
        std::size_t folderAt = 0; // in m_waitingText, its folder's path
        std::size_t nameAt = 0;
        std::uint32_t folderLength = 0;
        std::uint32_t nameLength = 0;
        FileFacts facts;
    };

    // How the earlier catalog is had: its digests alone are being read, to tell whether they can do;
    // they are, and the files wait; its files are (being) read.
    enum class Stage : char { Deciding, DigestsAlone, Files };

    void decide();
    void wait(const std::string& folder, const platform::DirEntry& entry, const FileFacts& facts);
    bool sameEntries(const std::function<std::optional<catalogdb::EntriesWritten>()>& entriesWritten) const;
    void takeEarlier();
    // Its path below the scanned folder, each name after a "/": "/sub/a.txt".
    std::string_view belowRoot(std::string_view path) const;
    void compare(std::string_view path, const FileFacts& file);

    std::string m_root;
    ScanDigests* m_digests = nullptr;
    EarlierCatalog m_earlierCatalog;
    Stage m_stage = Stage::Files;
    std::size_t m_mostWaiting = 0;
    std::uint64_t m_waitingDigestible = 0;
    bool m_keptWhole = false;
    bool m_taken = false;
    bool m_unusable = false;
    std::vector<Waiting> m_waiting;
    std::string m_waitingText;
    std::size_t m_waitingFolderAt = 0; // the last waiting file's folder, in m_waitingText
    std::uint32_t m_waitingFolderLength = 0;
    std::string m_path; // of the file being compared, its room kept
    // Once the earlier catalog is there.
    const catalogdb::CatalogFiles* m_earlier = nullptr;
    std::optional<catalogdb::CatalogFileFinder> m_finder;
    bool m_sameAlgorithm = false;
    std::vector<ChangedFile> m_changed;
    std::vector<std::int64_t> m_changedRows; // of m_changed
    // The unchanged files whose digest the earlier catalog had, in the new catalog's order: told
    // when this scan has none for them.
    std::vector<std::pair<std::int64_t, std::size_t>> m_digestsExpected; // row, earlier file
    std::uint64_t m_compared = 0;
};

} // namespace mellowby::scan
