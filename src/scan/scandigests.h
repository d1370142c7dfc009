#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "digest/digestrun.h"
#include "scan/scanner.h"

namespace mellowby::platform {
struct DirEntry;
}

namespace mellowby::catalogdb {
struct CatalogFile;
struct DigestsToKeep;
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

    ScanDigests(platform::IFileReading& files, digest::DigestAlgorithm algorithm, ScanDatabase& database);

    // Whether the walk's entry has contents of its own to digest: a link's would be its target's.
    static bool digestible(const platform::DirEntry& entry);
    // The name of the digests' algorithm, as the database holds it.
    const std::string& algorithm() const { return m_algorithm; }

    // The regular file at path the walk wrote as row (entries.id), with the size and modification
    // time it has now. earlier: the same file in the catalog this scan replaces; with the size
    // and time it has now, it keeps the digest it had there, when it had one, without being read.
    void add(std::string_view path, std::uint64_t size, std::optional<std::int64_t> modifiedNs, std::int64_t row,
        const catalogdb::CatalogFile* earlier = nullptr);
    // Every digest of the catalog this scan replaces, each kept as it is, no file read: for entries
    // written the same as its own, row for row, when it had a digest for each of their files with
    // contents of their own, none of which is given to add(). Copied while the walk goes on, and
    // then kept (keepCopied()) or dropped again, before any file is given. Before finish().
    void copyAll(const catalogdb::DigestsToKeep& earlier);
    void keepCopied();
    void dropCopied();
    digest::DigestProgress progress() const { return m_run.progress(); }
    // Waits for the files given, telling observer how far the scan is a few times a second; false
    // when it asked to stop (the readers are then stopped).
    bool finish(IScanObserver* observer, ScanProgress progress);
    // Once finish() has returned true.
    DigestTotals totals() const;
    // Which rows (entries.id) have their digest, kept or read; once finish() has returned true.
    std::vector<bool> digestedRows() const;

private:
    // On the readers' threads, one at a time.
    void fileDone(digest::FileDigest outcome);
    void noteFailure(std::string text);
    void noteDigested(std::int64_t row); // under m_mutex

    ScanDatabase& m_database;
    const std::string m_algorithm;
    std::uint64_t m_given = 0;
    std::uint64_t m_copied = 0;
    mutable std::mutex m_mutex;
    DigestTotals m_totals;
    std::vector<bool> m_digested; // by row
    digest::DigestRun m_run; // last: its readers use the rest
};

} // namespace mellowby::scan
