#pragma once

#include "catalogdb/catalogfilefinder.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "digest/digestrun.h"
#include "scan/earliercatalog.h"
#include "scan/scanner.h"

namespace mellowby::platform {
struct DirEntry;
}

namespace mellowby::catalogdb {
struct CatalogFile;
struct CatalogFiles;
} // namespace mellowby::catalogdb

namespace mellowby::scan {

class ScanDatabase;

// Why a file could not be digested, in words: "在第 4096 字节处读取出错（输入/输出错误）".
std::string failureText(const digest::FileDigest& outcome);

// Digests the files of a scan as the walk finds them, on readers of their own (the walk waits for
// them only when the files waiting would pass the run's memory), and has each digest written into
// the scan's database beside the file's row. A file that cannot be read gets no digest and is
// named among the files not digested; the scan goes on.
class ScanDigests {
public:
    // The files named among those not digested: enough to tell what went wrong, whatever their number.
    static constexpr std::size_t kNamedFailures = 10;

    // earlier: the catalog this scan replaces, scanned at root; a file with the size and
    // modification time it had there keeps the digest it had, without being read again. The
    // files met while it is still being read wait for it; none is read once it turns out to be
    // unusable (the scan then fails).
    ScanDigests(platform::IFileReading& files, digest::DigestAlgorithm algorithm, ScanDatabase& database,
        EarlierCatalog earlier = {}, std::string root = {});

    // The regular file at path the walk wrote as row (entries.id).
    void add(std::string path, const platform::DirEntry& entry, std::int64_t row);
    digest::DigestProgress progress() const { return m_run.progress(); }
    // Waits for the files given, telling observer how far the scan is a few times a second; false
    // when it asked to stop (the readers are then stopped).
    bool finish(IScanObserver* observer, ScanProgress progress);
    // Once finish() has returned true.
    DigestTotals totals() const;

private:
    // On the readers' threads, one at a time.
    void fileDone(digest::FileDigest outcome);
    void noteFailure(std::string text);
    // Once the earlier catalog has been read: the files that waited for it go on.
    void takeEarlier();
    // Keeps the earlier digest of the file, or has it read.
    void keepOrRead(digest::FileToDigest file);
    // The digest the file had in the earlier catalog, when it is still the same file.
    const catalogdb::CatalogFile* earlierDigest(const digest::FileToDigest& file);

    ScanDatabase& m_database;
    const std::string m_algorithm;
    std::uint64_t m_given = 0;
    std::string m_root;
    // On the walk's thread: the earlier catalog until it has been read, the files waiting for it,
    // then its files.
    EarlierCatalog m_earlierCatalog;
    bool m_earlierTaken = false;
    bool m_earlierUnusable = false;
    std::vector<digest::FileToDigest> m_waiting;
    std::optional<catalogdb::CatalogFileFinder> m_earlier;
    mutable std::mutex m_mutex;
    DigestTotals m_totals;
    digest::DigestRun m_run; // last: its readers use the rest
};

} // namespace mellowby::scan
