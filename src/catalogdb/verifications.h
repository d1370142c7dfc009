#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <span>
#include <string>

#include "platform/error.h"

namespace mellowby::platform {
class IFileSystem;
}

namespace mellowby::catalogdb {

// When each file of a catalog was last found whole on its disc. The table is made the first time a
// verification is recorded, so a database without it (every one a scan writes) is one where no
// file has been verified yet. The rows of entries and digests, and so the hashes that tell that
// the database belongs to its catalog, stay as the scan wrote them.
//
// Records that the files of rows `entries` (entries.id) were found whole at verifiedNs
// (nanoseconds since 1970), in one transaction: the database is copied, the rows written into
// the copy, and the copy replaces the database only once all is written, so a failure (a
// read-only Data folder, a full disk) leaves it as it was.
std::expected<void, platform::Error> recordVerifications(platform::IFileSystem& fileSystem,
    const std::string& databasePath, std::span<const std::int64_t> entries, std::int64_t verifiedNs);

// The times recorded, by entry; none for a database without the table. An error for one that
// cannot be read.
std::expected<std::map<std::int64_t, std::int64_t>, platform::Error> readVerifications(
    platform::IFileSystem& fileSystem, const std::string& databasePath);

} // namespace mellowby::catalogdb
