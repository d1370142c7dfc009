#pragma once

#include <optional>
#include <string>

#include "platform/filesystem.h"

namespace mellowby::names {

class NamesIndexBuilder;

// Where a catalog's database lies and which version of it is there; no path when it has none.
struct DatabaseFile {
    std::optional<std::string> path;
    std::optional<platform::FileStamp> stamp;
};

// Reads the catalog file into builder with the facts of its database, read alongside: the
// database is checked as far as it can be before the catalog is read, and found to belong to it
// only once the catalog's bytes, hashed as they are read, and every row agree. Its facts are
// dropped otherwise, and builder records what became of it. False when the catalog is not of the
// form an index is made from (see CatalogStreamReader).
bool readCatalogWithFacts(const platform::IReadableFile& catalog, platform::IFileSystem& fileSystem,
    const DatabaseFile& database, NamesIndexBuilder& builder);

} // namespace mellowby::names
