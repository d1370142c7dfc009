#pragma once

#include "catalogdb/databasestate.h"

#include <atomic>
#include <cstddef>
#include <expected>
#include <functional>
#include <memory>
#include <thread>

namespace mellowby::catalogdb {
struct CatalogFiles;
}

namespace mellowby::scan {

// The catalog a scan replaces, as its database holds it: files given whole, or read on a thread
// of its own beside the walk, which needs them only to keep digests and to tell the changes. A
// copy shares the same reading.
class EarlierCatalog {
public:
    using Reading = std::expected<catalogdb::CatalogFiles, catalogdb::DatabaseState>;

    // None (nullptr), or files read already, which must outlive the scan: a scan is given them as
    // it would be given a pointer to them.
    EarlierCatalog(const catalogdb::CatalogFiles* files = nullptr);
    // Starts read on a thread of its own.
    static EarlierCatalog readBeside(std::function<Reading()> read);

    // Whether there is an earlier catalog.
    explicit operator bool() const { return m_given != nullptr || m_reading != nullptr; }
    // Whether its files can be had without waiting.
    bool ready() const;
    // Waits for the reading: the files, or why the database cannot be used. Only when there is one.
    std::expected<const catalogdb::CatalogFiles*, catalogdb::DatabaseState> files() const;

private:
    struct Reader;

    const catalogdb::CatalogFiles* m_given = nullptr;
    std::shared_ptr<Reader> m_reading;
};

} // namespace mellowby::scan
