#pragma once

#include "catalogdb/databasestate.h"
#include "catalogdb/databasewriter.h"
#include "catalogdb/digestbytes.h"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::catalogdb {

// One entry of a catalog that is not a folder, as its database holds it: what a later look at
// the disc compares the file found there with.
struct CatalogFile {
    std::int64_t entry = 0; // entries.id
    // Below the scanned folder, each name after a "/": "/sub/a.txt".
    std::string path;
    schema::Kind kind = schema::Kind::Unknown;
    std::optional<std::uint64_t> size;
    std::optional<std::int64_t> modifiedNs;
    // The digest's bytes, in the catalog's algorithm; empty for a file the scan did not digest.
    DigestBytes digest;
};

// What a catalog's database says of the scan and of every file.
struct CatalogFiles {
    ScanRecord scan; // the scanned path and the filters the scan used
    std::vector<CatalogFile> files; // in the catalog's order
    // The algorithm of the digests, the same for all of them (a scan makes them with one);
    // empty for a scan without checksums.
    std::string algorithm;
};

// The files of the database at databasePath, once it is found to belong to the catalog file at
// catalogPath (read whole to tell, in the same pass); else why it cannot be used.
std::expected<CatalogFiles, DatabaseState> readCatalogFiles(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath);

} // namespace mellowby::catalogdb
