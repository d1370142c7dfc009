#pragma once

#include <cstdint>
#include <string_view>

namespace mellowby::catalogdb {

// What became of a catalog's database when the catalog was last read: used, or why not. A
// catalog whose database is not used works exactly as one without. The numbers are kept in names
// indexes and never change.
enum class DatabaseState : std::uint8_t {
    Absent = 0, // the catalog has none (made on Windows, by an earlier version, without one)
    Belongs = 1, // it belongs to the catalog file as it is: its facts are used
    OtherCatalog = 2, // it was written with another catalog file (the pair was replaced since)
    UnknownVersion = 3, // of a later version of the program, or no database of this program
    Damaged = 4, // changed, cut short or not a database
    Unreadable = 5, // the file cannot be read
    Unchecked = 6, // the catalog is read directly, without a names index to carry the facts
};

// Whether a number is one of the states.
bool isDatabaseState(std::uint64_t number);

// The state in the words list --long and stats print.
std::string_view describe(DatabaseState state);

} // namespace mellowby::catalogdb
