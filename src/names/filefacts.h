#pragma once

#include <cstdint>

namespace mellowby::names {

// What the catalog's database knows exactly of a file, as the names index carries it for queries.
struct FileFacts {
    std::uint64_t size;
    std::int64_t modifiedNs;
    std::uint16_t typeOffset;
};

} // namespace mellowby::names
