#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "search/duplicates.h"

namespace mellowby::search {

// Files of the same contents, as the digests of their catalogs' databases tell.
struct ContentDuplicates {
    DuplicateGroups groups;
    // The catalogs asked for that have no digests in a database that belongs to them.
    std::vector<std::string> withoutDigests;
};

// The groups of two or more files of the catalogs given that have the same digest by the same
// algorithm and a size of at least minKilobytes, ordered and laid out as findDuplicates lays out
// its own. Only digests of a database that belongs to its catalog count; a file without one is
// no one's duplicate. Memory as findDuplicates: eight bytes a file, then only the files of
// digests that repeat.
ContentDuplicates findContentDuplicates(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::vector<std::string>& catalogs, std::uint64_t minKilobytes);

} // namespace mellowby::search
