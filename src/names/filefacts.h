#pragma once

#include <cstdint>

namespace mellowby::names {

// The exact facts of a file that its catalog's database recorded, as the names index carries them
// for the queries: what the catalog's own texts (a size in whole kilobytes, a long date) cannot say.
struct FileFacts {
    std::uint64_t size; // in bytes
    std::int64_t modifiedNs; // the modification time, in nanoseconds since 1970-01-01 UTC
    // Where the type (the extension) starts in the name as the index holds it: just after its
    // last ".", or the name's length when it has none (no "." or only a leading one).
    std::uint16_t typeOffset;
};

// What a names index is given of a file for its facts.
struct SizeAndTime {
    std::uint64_t size;
    std::int64_t modifiedNs;
};

} // namespace mellowby::names
