#include "catalogdb/catalogfiles.h"

#include "catalogdb/databasereader.h"

#include <algorithm>

#include "platform/filesystem.h"

namespace mellowby::catalogdb {

namespace {

// The rows a catalog's count of entries makes room for at once: the count is not to be trusted
// before the rows are read, and a catalog of more files only grows its list as it goes.
constexpr std::int64_t kMostFilesReserved = 1 << 20;

} // namespace

std::expected<CatalogFiles, DatabaseState> readCatalogFiles(
    platform::IFileSystem& fileSystem, const std::string& databasePath, const std::string& catalogPath)
{
    auto reading = openForDigests(fileSystem, databasePath, catalogPath);
    if (!reading) {
        // No catalog file to check it against: a database alone is left unchecked, none is absent.
        if (reading.error() == DatabaseState::Unchecked && !fileSystem.isFile(databasePath))
            return std::unexpected(DatabaseState::Absent);
        return std::unexpected(reading.error());
    }
    DatabaseReader& reader = *reading->reader;
    auto scan = reader.scan();
    if (!scan)
        return std::unexpected(DatabaseState::Damaged);
    CatalogFiles catalog { std::move(*scan), {}, {} };
    catalog.files.reserve(
        static_cast<std::size_t>(std::clamp<std::int64_t>(reader.catalog().entryCount, 0, kMostFilesReserved)));
    while (auto file = reader.nextFileAlone()) {
        CatalogFile& added = catalog.files.emplace_back();
        added.entry = file->entry;
        added.path = std::move(file->path);
        added.path.insert(added.path.begin(), '/'); // within the room the reader made for it
        added.kind = file->kind;
        added.size = file->size;
        added.modifiedNs = file->modifiedNs;
        if (file->digest) {
            added.digest = file->digest->bytes;
            if (catalog.algorithm.empty())
                catalog.algorithm = std::move(file->digest->algorithm);
        }
    }
    if (const DatabaseState state = reader.finish(reading->catalogHash); state != DatabaseState::Belongs)
        return std::unexpected(state);
    return catalog;
}

} // namespace mellowby::catalogdb
