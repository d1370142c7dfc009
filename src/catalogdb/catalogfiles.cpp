#include "catalogdb/catalogfiles.h"

#include "catalogdb/boundfiles.h"
#include "catalogdb/databasereader.h"
#include "catalogdb/sqlitehandles.h"

#include <algorithm>
#include <sqlite3.h>
#include <unordered_map>

#include "platform/filesystem.h"

namespace mellowby::catalogdb {

namespace {

constexpr std::string_view kScanRow
    = "SELECT scanned_path, scan_time_ns, filter_on, filter_include, include_types, exclude_types FROM catalog";
constexpr std::string_view kEntryRows = "SELECT id, parent, kind, name, size, mtime_ns FROM entries ORDER BY id";
constexpr std::string_view kDigestRows = "SELECT entry, algorithm, digest FROM digests";

std::optional<std::uint64_t> unsignedSize(std::optional<std::int64_t> size)
{
    return size && *size >= 0 ? std::optional(static_cast<std::uint64_t>(*size)) : std::nullopt;
}

ScanRecord scanOf(SqliteConnection& connection)
{
    SqliteStatement row(connection, kScanRow);
    if (!row.step())
        throw SqliteFailure { SQLITE_CORRUPT, "no catalog row" };
    return { std::string(row.text(0)), row.integer(1), row.integer(2) != 0, row.integer(3) != 0,
        std::string(row.text(4)), std::string(row.text(5)) };
}

// The files with their paths: a folder's path is known before its entries, which follow it.
std::vector<CatalogFile> filesOf(SqliteConnection& connection)
{
    std::vector<CatalogFile> files;
    std::unordered_map<std::int64_t, std::string> folders;
    SqliteStatement rows(connection, kEntryRows);
    while (rows.step()) {
        const std::int64_t id = rows.integer(0);
        const auto kind = static_cast<schema::Kind>(rows.integer(2));
        if (kind == schema::Kind::DiscRoot) {
            folders[id] = "";
            continue;
        }
        const auto parent = folders.find(rows.optionalInteger(1).value_or(-1));
        if (parent == folders.end())
            throw SqliteFailure { SQLITE_CORRUPT, "an entry outside any folder" };
        std::string path = parent->second + "/" + std::string(rows.text(3));
        if (kind == schema::Kind::Folder) {
            folders[id] = std::move(path);
            continue;
        }
        files.push_back(
            { id, std::move(path), kind, unsignedSize(rows.optionalInteger(4)), rows.optionalInteger(5), {}, {} });
    }
    return files;
}

} // namespace

std::expected<CatalogFiles, DatabaseState> readCatalogFiles(platform::IFileSystem& fileSystem,
    const std::string& databasePath, const std::string& catalogPath, BelongsCheck check)
{
    if (check == BelongsCheck::Check) {
        if (const auto state = checkDatabase(fileSystem, databasePath, catalogPath); state != DatabaseState::Belongs)
            return std::unexpected(state);
    }
    auto readable = fileSystem.openForReading(databasePath);
    if (!readable)
        return std::unexpected(DatabaseState::Unreadable);
    const BoundFile file(**readable);
    try {
        SqliteConnection connection(file.name(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, kBoundFilesVfs);
        CatalogFiles catalog { scanOf(connection), filesOf(connection), {} };
        // The files are in the order of their rows: a digest's file is found by halving.
        SqliteStatement digests(connection, kDigestRows);
        while (digests.step()) {
            const auto found = std::ranges::lower_bound(catalog.files, digests.integer(0), {}, &CatalogFile::entry);
            if (found == catalog.files.end() || found->entry != digests.integer(0))
                continue;
            found->algorithm = digests.text(1);
            found->digest = digests.blob(2);
            catalog.algorithm = found->algorithm;
        }
        return catalog;
    } catch (const SqliteFailure&) {
        return std::unexpected(file.failure() ? DatabaseState::Unreadable : DatabaseState::Damaged);
    }
}

} // namespace mellowby::catalogdb
