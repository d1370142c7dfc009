#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "digest/digestalgorithm.h"
#include "digest/digestprogress.h"
#include "platform/error.h"
#include "scan/earliercatalog.h"
#include "scan/earlierchanges.h"

namespace mellowby::platform {
class IDirectoryLister;
class IFileReading;
class IFileSystem;
class IMessageBox;
class IVolumes;
} // namespace mellowby::platform

namespace mellowby::app {
struct Settings;
}

namespace mellowby::catalog {
class CatalogStore;
class DateFormatter;
} // namespace mellowby::catalog

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::scan {

struct ScanProgress {
    std::uint64_t directories = 0;
    std::uint64_t files = 0; // files written to the catalog
    std::uint64_t bytes = 0; // their sizes
    std::string currentDirectory;
    // How far the digests of the files found are, when the scan makes them.
    std::optional<digest::DigestProgress> digests;
};

// Watches a scan: it is told the counts as directories are entered and may stop the walk.
class IScanObserver {
public:
    virtual ~IScanObserver() = default;
    virtual void onProgress(const ScanProgress& progress) = 0;
    virtual bool stopRequested() = 0;
};

// Everything a scan works with, injected so that tests choose what the OS answers.
struct ScanContext {
    const catalog::CatalogStore& store; // the Data folder the catalog goes into
    const app::Settings& settings;
    platform::IDirectoryLister& lister;
    platform::IMessageBox& box;
    const catalog::DateFormatter& dates;
    IScanObserver* observer = nullptr;
    // Where the names index the scan collects as it writes goes; none is kept without it.
    const names::NamesIndexCache* indexes = nullptr;
    // Identifies the scanned volume, whose record the catalog keeps; none keeps no record.
    platform::IVolumes* volumes = nullptr;
    // Whether the catalog gets its database (exact sizes and times) beside it.
    bool writeDatabase = true;
    // Digests the contents of every regular file into the database, when given with fileReading;
    // a catalog that gets no database gets no digests.
    std::optional<digest::DigestAlgorithm> checksums {};
    platform::IFileReading* fileReading = nullptr;
    // The catalog being scanned again, as its database holds it: files whose size and modification
    // time are unchanged keep their digests instead of being read again. The scan fails, and the
    // catalog stays as it was, when its database turns out not to be usable.
    EarlierCatalog earlier {};
    // Lists the archives among the files (by their contents) into the database, members and
    // status; a catalog that gets no database gets no members.
    bool listArchives = false;
};

// The same scan with its settings, walker and observer replaced and every other choice kept: the
// one place that copies a context field by field, so that a choice added to it is never dropped.
ScanContext rebound(const ScanContext& context, const app::Settings& settings, platform::IDirectoryLister& lister,
    IScanObserver* observer);

enum class ScanFailure {
    EmptyPath, // nothing to scan
    NameRefused, // the name would put files outside the Data folder (the error box was shown)
    OverwriteDeclined, // the user kept the existing catalog
    RootUnreadable, // the scanned path cannot be listed or holds nothing
    Stopped, // the observer asked to stop
    Failed, // a write (the database's too) or the final replacement failed (the error box was shown)
    EarlierUnusable, // the database of the catalog scanned again cannot be used (earlier.files() says why)
};

// What became of the digests of a scan's files.
struct DigestTotals {
    std::uint64_t digested = 0;
    std::uint64_t notDigested = 0;
    // Of those digested, how many kept the digest of the catalog scanned again, unread.
    std::uint64_t reused = 0;
    // The first few of those not digested, each with why: "路径：原因".
    std::vector<std::string> failures;
};

// What the archives of a scan that lists them gave.
struct ArchiveTotals {
    std::uint64_t archives = 0; // files listed as archives, whatever their status
    std::uint64_t members = 0; // the folders and files inside them
    // The first few archives that could not be listed whole, each with its status: "路径：已损坏".
    std::vector<std::string> incomplete;
};

struct ScanResult {
    ScanProgress totals;
    std::string xmlPath; // where the catalog proper now lies
    std::string twinPath;
    std::string databasePath; // empty when the scan wrote none
    std::optional<DigestTotals> digests; // when the scan made them
    std::optional<ArchiveTotals> archives {}; // when the scan listed them
    // Of a scan of an earlier catalog again: what changed since.
    std::optional<EarlierChanges> changes {};
};

// Writes the catalog pair of the tree at path into the Data folder, with its database when the
// context asks for one, asking first before it replaces a catalog of that name. The new files
// replace the existing ones only once all are complete, so on any failure the old catalog stays
// as it was, with its own database, and no partial file is left behind. Each
// folder is opened relative to its parent, so no length of path stops the walk and a folder
// replaced by a symbolic link during the walk is not followed. Entries whose details cannot be
// read are written by their names and reported once.
// A path that is a disc image file (ISO 9660) is catalogued as the disc it holds, without mounting
// it (see ImageScan); a file that is no readable image fails with the user told why.
std::expected<ScanResult, ScanFailure> genXml(ScanContext& context, const std::string& path, const std::string& name);

// Whether a file of extension ext (upper case) goes into the catalog under the settings' filter.
bool filePassesFilter(const app::Settings& settings, std::string_view ext);

// Creates one directory (its parent must exist); doubled separators in path count as one.
bool createDir(platform::IFileSystem& fileSystem, const std::string& path);

} // namespace mellowby::scan
