#include "catalogdb/databaseschema.h"

#include <array>

namespace mellowby::catalogdb::schema {

namespace {

constexpr std::array<std::string_view, 5> kTables = {
    // One row: the scan that wrote the catalog, and which catalog file the database belongs to.
    R"(CREATE TABLE catalog (
    schema_version INTEGER NOT NULL,
    program_version TEXT NOT NULL,
    scanned_path TEXT NOT NULL,
    scan_time_ns INTEGER NOT NULL,
    filter_on INTEGER NOT NULL,
    filter_include INTEGER NOT NULL,
    include_types TEXT NOT NULL,
    exclude_types TEXT NOT NULL,
    catalog_size INTEGER NOT NULL,
    catalog_hash BLOB NOT NULL,
    entry_count INTEGER NOT NULL,
    entries_hash BLOB NOT NULL,
    archive_count INTEGER NOT NULL,
    archives_hash BLOB NOT NULL,
    member_count INTEGER NOT NULL,
    members_hash BLOB NOT NULL,
    digest_count INTEGER NOT NULL,
    digests_hash BLOB NOT NULL))",
    // Version 2: the digest of the contents of each file a scan with checksums read whole; none
    // for the others (and for every file of a scan without them), its bytes as the algorithm's
    // tool ("xxh128": xxhsum -H2, "sha256": sha256sum) prints them in hexadecimal. Made before
    // entries, so that its root page (empty without checksums) does not end the file: the end
    // holds rows the entries hash covers, and garbage there is found.
    R"(CREATE TABLE digests (
    entry INTEGER PRIMARY KEY REFERENCES entries(id),
    algorithm TEXT NOT NULL,
    digest BLOB NOT NULL))",
    // Version 3: each file a scan with archives listed as one (ArchiveState), with the number of
    // its rows in members. Its own hash in the catalog row, as the members': a damaged listing is
    // left unused without the catalog's entries.
    R"(CREATE TABLE archives (
    entry INTEGER PRIMARY KEY REFERENCES entries(id),
    status INTEGER NOT NULL,
    format TEXT NOT NULL,
    member_count INTEGER NOT NULL))",
    // Version 3: the folders and files inside each archive, numbered from 0 across the database,
    // each archive's together, its folders (parents first) before its files. parent: the row of
    // the folder it lies in, none at the archive's top. A folder only named in its members' paths
    // has no position and an empty path; every other row has its place among the archive's entries
    // and its whole name as the archive wrote it, which is what takes it out again.
    R"(CREATE TABLE members (
    id INTEGER PRIMARY KEY,
    archive INTEGER NOT NULL REFERENCES archives(entry),
    parent INTEGER,
    kind INTEGER NOT NULL,
    name TEXT NOT NULL,
    size INTEGER,
    mtime_ns INTEGER,
    position INTEGER,
    path TEXT NOT NULL,
    encrypted INTEGER NOT NULL))",
    // One row per Disk, Directory and File element of the catalog, in document order.
    R"(CREATE TABLE entries (
    id INTEGER PRIMARY KEY,
    parent INTEGER,
    kind INTEGER NOT NULL,
    name TEXT NOT NULL,
    size INTEGER,
    mtime_ns INTEGER,
    btime_ns INTEGER,
    date_from INTEGER,
    size_text INTEGER))",
};

} // namespace

std::span<const std::string_view> tables()
{
    return kTables;
}

} // namespace mellowby::catalogdb::schema
