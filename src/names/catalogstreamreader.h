#pragma once

#include <cstdint>
#include <string_view>

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::names {

class NamesIndexBuilder;

// Reads a catalog file of the form this program writes straight into an index builder, a piece
// at a time, without building a document: memory grows with the longest line, not with the
// catalog. It takes only what it can read exactly as the document model reads it (the
// declaration, a Disk element with its title and Label, Directory elements with a title, File
// elements with a date, a size and a name, the five entities and character references) and
// gives up on anything else: comments, other elements, stray text, an unknown entity, a file cut
// short. A catalog it gives up on is read through the document model instead, so its rows are
// the model's in every case.
class CatalogStreamReader {
public:
    // Catalogs from this size on are read on a thread of their own while the caller's builds:
    // reading the text and building the index take about as long as each other.
    static constexpr std::uint64_t kReadApartFrom = 4 << 20;

    // True when the whole file was read into builder; false when it gave up.
    static bool read(
        const platform::IReadableFile& file, NamesIndexBuilder& builder, std::uint64_t readApartFrom = kReadApartFrom);
};

} // namespace mellowby::names
