#pragma once

#include "catalogdb/databasestate.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <thread>

namespace mellowby::catalogdb {
struct CatalogFiles;
struct DigestsToKeep;
} // namespace mellowby::catalogdb

namespace mellowby::scan {

// The catalog a scan replaces, as its database holds it: files given whole, or read on a thread
// of its own beside the walk, which needs them only to keep digests and to tell the changes. Its
// digests alone may be read first, the files only once asked for: a scan that writes the same
// entries again keeps every digest as it is and has no change to tell. A copy shares the same
// readings.
class EarlierCatalog {
public:
    using Reading = std::expected<catalogdb::CatalogFiles, catalogdb::DatabaseState>;
    using DigestsReading = std::expected<catalogdb::DigestsToKeep, catalogdb::DatabaseState>;
    // The most entries of a catalog whose digests alone are read: the files of a scan wait for the
    // end of the walk to tell whether they can do, and no more than that many wait.
    static constexpr std::int64_t kMostEntriesAlone = std::int64_t { 1 } << 18;

    // None (nullptr), or files read already, which must outlive the scan: a scan is given them as
    // it would be given a pointer to them.
    EarlierCatalog(const catalogdb::CatalogFiles* files = nullptr);
    // Starts read on a thread of its own.
    static EarlierCatalog readBeside(std::function<Reading()> read);
    // Starts readDigests on a thread of its own, for a catalog of at most the entries it is given
    // (kMostEntriesAlone); read only once the files are asked for.
    static EarlierCatalog readWhenAsked(
        std::function<Reading()> read, std::function<DigestsReading(std::int64_t mostEntries)> readDigests);

    // Whether there is an earlier catalog.
    explicit operator bool() const { return m_given != nullptr || m_shared != nullptr; }

    // Whether its digests alone are read, and whether they can be had without waiting.
    bool readsDigestsAlone() const;
    bool digestsReady() const;
    // Waits for them. Only when they are read alone.
    const DigestsReading& digests() const;

    // Starts reading the files, when that waits to be asked for.
    void readFiles() const;
    // Whether its files can be had without waiting (never before they are asked for).
    bool ready() const;
    // Starts reading the files if need be and waits for them: the files, or why the database
    // cannot be used. Only when there is one.
    std::expected<const catalogdb::CatalogFiles*, catalogdb::DatabaseState> files() const;

private:
    template <typename Result> struct Reader;
    struct Shared;

    const catalogdb::CatalogFiles* m_given = nullptr;
    std::shared_ptr<Shared> m_shared;
};

} // namespace mellowby::scan
