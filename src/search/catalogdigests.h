#pragma once

#include "catalogdb/databasereader.h"
#include "catalogdb/databasestate.h"

#include <expected>
#include <functional>
#include <string>

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

struct CatalogFile;

// The database of the catalog catalogName opened to read its files' paths and digests; why not
// when it cannot be. What it gives counts only once finish() says it belongs.
std::expected<catalogdb::DigestReading, catalogdb::DatabaseState> openCatalogDigests(
    const names::NamesIndexCache& indexes, const std::string& catalogName);

// Gives every file of the catalog catalogName to each as forEachCatalogFile does, with what its
// database holds of it, read alongside. Belongs when the database belongs to the catalog and
// every file had its row; else why not, and what was given is not to be used.
catalogdb::DatabaseState forEachFileWithDigest(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::string& catalogName,
    const std::function<void(const CatalogFile&, const catalogdb::FileRowFacts&)>& each);

} // namespace mellowby::search
