#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The layout of the database beside a catalog. A database is only ever written whole, by a scan,
// so its layout never changes in place: a new version of the program that keeps more adds its
// tables (or a table's columns) to the statements below and raises kVersion by one, and a
// database of any version up to its own still reads, since what earlier versions wrote stays as
// it was.
namespace mellowby::catalogdb::schema {

// PRAGMA application_id: "MLBY".
inline constexpr std::int64_t kApplicationId = 0x4D4C4259;
// PRAGMA user_version, and the catalog table's schema_version. 2: the digests table. 3: the
// archives and members tables, and the catalog row's counts and hashes of their rows and of the
// digests' rows.
inline constexpr std::int64_t kVersion = 3;
// The first version with the archives and members tables.
inline constexpr std::int64_t kMembersVersion = 3;
// The first whose catalog row counts and hashes the digests' rows (those of version 2 are taken
// as they are).
inline constexpr std::int64_t kDigestsCheckedVersion = 3;

// The statements that make a new database of kVersion, in order.
std::span<const std::string_view> tables();

// The kinds of entries (entries.kind).
enum class Kind : std::int64_t {
    DiscRoot = 0, // the Disk element: the scanned folder
    Folder = 1, // a Directory element
    File = 2, // File elements, by what the file system said they are
    SymbolicLink = 3,
    Other = 4, // a device, a FIFO, a socket
    Unknown = 5, // its details could not be read
};

// How far an archive could be listed (archives.status).
enum class ArchiveState : std::int64_t {
    Intact = 0,
    Encrypted = 1, // members' data encrypted, their names readable
    NamesUnreadable = 2, // the names are encrypted too: no members
    Damaged = 3, // the members before the fault are kept
    OverLimit = 4, // the members within the limits are kept
};

// Which time a catalog's date text was made from (entries.date_from).
enum class DateFrom : std::int64_t {
    None = 0, // no time could be read: the date text is empty
    Birth = 1,
    Modification = 2, // the file system keeps no birth time
};

} // namespace mellowby::catalogdb::schema
