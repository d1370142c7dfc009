#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

// What a catalog holds, in figures.
struct CatalogStats {
    std::uint64_t directories = 0; // below the Disk element
    std::uint64_t files = 0;
    std::uint64_t kilobytes = 0; // the sizes that are numbers of KB, added up
    std::string oldest; // the earliest and latest dates, as stored; empty when none reads as a date
    std::string newest;
    std::string scannedPath; // the Disk element's Label
};

// The figures of the catalog catalogName; nothing when it cannot be read.
std::optional<CatalogStats> statsOf(
    const names::NamesIndexCache& indexes, platform::IMessageBox& box, const std::string& catalogName);

} // namespace mellowby::search
