#pragma once

#include "catalogdb/databasewriter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "scan/batchedwork.h"

namespace mellowby::platform {
class IReplacement;
struct DirEntry;
} // namespace mellowby::platform

namespace mellowby::scan {

// Writes the database of a scan on a thread of its own (see BatchedWork), from the entries as the
// walk gives them to the catalog, so that the walk does not wait for SQLite. Digests come from the
// readers' threads as well as the walk's: every call is written whole under a lock.
class ScanDatabase {
public:
    // Starts the database in file; throws catalogdb::DatabaseWriteFailed when it cannot.
    explicit ScanDatabase(
        platform::IReplacement& file, std::size_t waitingBatches = 4, std::size_t batchBytes = 256 * 1024);

    void beginDisk(std::string_view title);
    void openFolder(const platform::DirEntry& entry);
    void closeFolder();
    // A File element, with or without its size text; the number of its row (entries.id).
    std::int64_t addFile(const platform::DirEntry& entry, bool sizeWritten);
    // The digest of the contents of the file of row entry; from any thread, before finishWith().
    void addDigest(std::int64_t entry, std::string_view algorithm, std::string_view digest);

    // Whether writing has failed already: the walk need not go on.
    bool failed() const;

    // Has the catalog row written and the database committed once every entry is in; wait()
    // waits for it and throws catalogdb::DatabaseWriteFailed when anything failed.
    void finishWith(catalogdb::ScanRecord scan, std::uint64_t catalogSize, const catalogdb::Hash128& catalogHash);
    void wait();

private:
    enum class Call : char { Disk, OpenFolder, CloseFolder, File, Digest };
    // The numbers of an entry, as they travel in a batch.
    struct Numbers {
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::int64_t bornNs = 0;
        std::uint8_t present = 0; // which of the three there are
        std::uint8_t kind = 0;
        std::uint8_t dateFrom = 0;
        std::uint8_t sizeWritten = 0;
    };

    std::int64_t putEntry(Call call, const platform::DirEntry& entry, bool sizeWritten);
    void apply(std::string_view batch);

    std::unique_ptr<catalogdb::DatabaseWriter> m_writer;
    // Counted as the writer counts its rows, so that a row's number is known before it is written.
    std::int64_t m_entries = 0;
    std::mutex m_calls;
    BatchedWork m_work; // last: its thread uses the writer
};

} // namespace mellowby::scan
