#pragma once

#include "catalogdb/databasewriter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "scan/batchedwork.h"

namespace mellowby::platform {
class IReplacement;
struct DirEntry;
} // namespace mellowby::platform

namespace mellowby::scan {

// Writes the database of a scan on a thread of its own (see BatchedWork), from the entries as the
// walk gives them to the catalog, so that the walk does not wait for SQLite.
class ScanDatabase {
public:
    // Starts the database in file; throws catalogdb::DatabaseWriteFailed when it cannot.
    explicit ScanDatabase(
        platform::IReplacement& file, std::size_t waitingBatches = 4, std::size_t batchBytes = 256 * 1024);

    void beginDisk(std::string_view title);
    void openFolder(const platform::DirEntry& entry);
    void closeFolder();
    // A File element, with or without its size text.
    void addFile(const platform::DirEntry& entry, bool sizeWritten);

    // Whether writing has failed already: the walk need not go on.
    bool failed() const;

    // Has the catalog row written and the database committed once every entry is in; wait()
    // waits for it and throws catalogdb::DatabaseWriteFailed when anything failed.
    void finishWith(catalogdb::ScanRecord scan, std::uint64_t catalogSize, const catalogdb::Hash128& catalogHash);
    void wait();

private:
    enum class Call : char { Disk, OpenFolder, CloseFolder, File };
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

    void putEntry(Call call, const platform::DirEntry& entry, bool sizeWritten);
    void apply(std::string_view batch);

    std::unique_ptr<catalogdb::DatabaseWriter> m_writer;
    BatchedWork m_work; // last: its thread uses the writer
};

} // namespace mellowby::scan
