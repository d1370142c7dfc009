#pragma once

#include "catalogdb/databasewriter.h"

#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "scan/batchedwork.h"

namespace mellowby::platform {
class IReadableFile;
class IReplacement;
struct DirEntry;
} // namespace mellowby::platform

namespace mellowby::scan {

// One row of an archive's listing as it goes into the members table: the folders of the
// archive's tree first, parents before children, then its files.
struct ListedMember {
    std::optional<std::uint32_t> parent; // its folder's place among the archive's rows; none: the top
    catalogdb::schema::Kind kind = catalogdb::schema::Kind::File;
    std::string_view name; // its own name in its folder
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> modifiedNs;
    std::optional<std::uint64_t> position; // its place among the archive's entries
    std::string_view path; // its whole name as the archive wrote it
    bool encrypted = false;
};

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

    // Every digest of the earlier database, as the scan's own, and dropped again (see
    // DatabaseWriter::copyDigests).
    void copyDigests(
        std::shared_ptr<const platform::IReadableFile> earlier, std::int64_t count, const catalogdb::Hash128& hash);
    void dropCopiedDigests();
    // The entries written so far, once the writer has caught up with the walk; none once writing
    // has failed.
    std::optional<catalogdb::EntriesWritten> entriesWritten();

    // The file of row entry, an archive listed as far as status says, with its members; from any
    // thread, before finishWith().
    void addArchive(std::int64_t entry, catalogdb::schema::ArchiveState status, std::string_view format,
        std::span<const ListedMember> members);

    // Whether writing has failed already: the walk need not go on.
    bool failed() const;

    // Has the catalog row written and the database committed once every entry is in; wait()
    // waits for it and throws catalogdb::DatabaseWriteFailed when anything failed.
    void finishWith(catalogdb::ScanRecord scan, std::uint64_t catalogSize, const catalogdb::Hash128& catalogHash);
    void wait();

private:
    enum class Call : char {
        Disk,
        OpenFolder,
        CloseFolder,
        File,
        Digest,
        Archive,
        CopyDigests,
        DropDigests,
        TellEntries
    };
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

    // The numbers of a member, as they travel in a batch.
    struct MemberNumbers {
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::uint64_t position = 0;
        std::uint32_t parent = 0;
        std::uint8_t present = 0; // which of the four there are
        std::uint8_t kind = 0;
        std::uint8_t encrypted = 0;
    };

    std::int64_t putEntry(Call call, const platform::DirEntry& entry, bool sizeWritten);
    void apply(std::string_view batch);
    void applyArchive(BatchReader& calls);

    std::unique_ptr<catalogdb::DatabaseWriter> m_writer;
    // What CopyDigests copies, with the row count and hash it is checked against.
    std::shared_ptr<const platform::IReadableFile> m_earlier;
    std::int64_t m_earlierCount = 0;
    catalogdb::Hash128 m_earlierHash {};
    // Set by TellEntries, for entriesWritten() to wait on.
    std::promise<catalogdb::EntriesWritten> m_entriesTold;
    // Counted as the writer counts its rows, so that a row's number is known before it is written.
    std::int64_t m_entries = 0;
    std::mutex m_calls;
    BatchedWork m_work; // last: its thread uses the writer
};

} // namespace mellowby::scan
