#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mellowby::scan {

// A file of a scan again of a catalog that is not as the catalog had it.
struct ChangedFile {
    enum class What : char {
        Added, // not in the earlier catalog
        Modified, // its size or modification time differ
        NotDigested, // the same, but its digest, which the earlier catalog had, could not be made
    };
    What what = What::Added;
    std::string below; // below the scanned folder, each name after a "/": "/sub/a.txt"
    std::optional<std::uint64_t> size;
    std::optional<std::uint64_t> earlierSize; // Modified
    bool timeDiffers = false; // Modified
};

// What a scan again of a catalog found changed since it: the files that changed or came, in the
// new catalog's order, and those gone, below the scanned folder in the earlier catalog's order.
struct EarlierChanges {
    std::vector<ChangedFile> changed;
    std::vector<std::string> gone;
    std::uint64_t unchanged = 0;
};

} // namespace mellowby::scan
