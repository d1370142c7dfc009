#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace mellowby::search {

// Sizes in bytes, both ends included; an empty range has low > high.
struct SizeRange {
    std::uint64_t low = 0;
    std::uint64_t high = std::numeric_limits<std::uint64_t>::max();

    bool operator==(const SizeRange&) const = default;
};

// Calendar days counted from 1970-01-01, both ends included.
struct DayRange {
    std::int64_t first = std::numeric_limits<std::int64_t>::min();
    std::int64_t last = std::numeric_limits<std::int64_t>::max();

    bool operator==(const DayRange&) const = default;
};

// A query read into a tree. Leaves test one thing of a row (a file or a folder of a catalog);
// All, Any and Not combine them. Copies follow the tree, as deep as the parser lets it be.
struct QueryNode { // NOLINT(misc-no-recursion)
    enum class Kind {
        All, // every child holds (words side by side)
        Any, // some child holds (| or OR)
        Not, // its one child does not hold (! or NOT)
        Always,
        Never,
        NameHolds, // text is a part of the name
        ExtensionIs, // the name's type is one of texts (upper-cased, without the dot)
        SizeIn, // size lies in sizes
        ModifiedIn, // the day of the last change lies in days
        PathHolds, // text is a part of the location
        NameMatches, // the regular expression text is found in the name
        CatalogIs, // the catalog's name fits one of the patterns texts (upper-cased, * and ?)
        IsFolder, // the row is a folder
        InArchive, // the row lies inside an archive (a member the scan listed)
    };

    Kind kind = Kind::Always;
    std::vector<QueryNode> children;
    // NameHolds and PathHolds: upper-cased unless caseSensitive; NameMatches: the pattern as given.
    std::string text;
    bool caseSensitive = false;
    std::vector<std::string> texts;
    SizeRange sizes;
    DayRange days;
    std::size_t column = 0; // where its term begins in the query, from 1, in characters

    bool operator==(const QueryNode&) const = default;
};

} // namespace mellowby::search
