#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "names/growingbuffer.h"

namespace mellowby::names {
class NamesIndexCache;
}

namespace mellowby::platform {
class IMessageBox;
}

namespace mellowby::search {

// Groups of files that share a name, compared as the search compares names (upper-cased), and a
// size: every text they hold is kept once, in texts.
struct DuplicateGroups {
    struct Copy {
        std::string_view catalog;
        std::string_view name; // as the catalog holds it
        std::string_view location;
    };
    struct Group {
        std::string_view size; // as the first copy's catalog holds it
        std::uint64_t kilobytes = 0; // of one copy
        std::size_t firstCopy = 0; // in copies
        std::size_t copyCount = 0;

        std::uint64_t totalKilobytes() const { return kilobytes * copyCount; }
    };
    std::vector<Group> groups; // largest total size first, then by name
    std::vector<Copy> copies; // of each group in the order of the catalogs given, each in document order
    std::vector<std::string> catalogs;
    names::GrowingBuffer texts;
};

// The groups of two or more files of the catalogs given that share a name and a size of at least
// minKilobytes. Sizes compare by their number of KB; a size that is no number makes a file no
// one's duplicate.
DuplicateGroups findDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes);

// The number of KB of a size text as the writer stores it ("123KB"), or nothing.
std::optional<std::uint64_t> kilobytesOf(std::string_view size);

} // namespace mellowby::search
