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
// PRAGMA user_version, and the catalog table's schema_version. 2: the digests table.
inline constexpr std::int64_t kVersion = 2;

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

// Which time a catalog's date text was made from (entries.date_from).
enum class DateFrom : std::int64_t {
    None = 0, // no time could be read: the date text is empty
    Birth = 1,
    Modification = 2, // the file system keeps no birth time
};

} // namespace mellowby::catalogdb::schema
