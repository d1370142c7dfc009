#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

#include "archive/archivelister.h"

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::archive {

// What a disc image says of itself in its volume descriptors, for recording it as a volume.
struct DiscIdentity {
    // The label a system shows for the disc: the Joliet volume identifier when the image has
    // one (it holds any character), else the primary one; trailing blanks removed.
    std::string label;
    std::string volumeIdentifier; // the primary descriptor's, as written (blanks removed)
    std::string volumeSetIdentifier;
    std::optional<std::int64_t> creationTime; // seconds since 1970 UTC, when the image gives one
    std::uint64_t volumeSpaceBytes = 0; // the volume space size times the logical block size
    bool carriesUdf = false; // a UDF file system is there too, which libarchive cannot read
};

// Reads the primary volume descriptor of an ISO 9660 image (sector 16), and the Joliet one
// where present, from the bytes of the image from its start: at least up to the descriptor set's
// terminator, kDiscHeadLength at most are looked at. UdfImage for an image of UDF alone,
// NotAnArchive for anything that is no ISO 9660 image.
std::expected<DiscIdentity, ListingError> parseDiscIdentity(std::span<const char> head);

// The same from the image file.
std::expected<DiscIdentity, ListingError> readDiscIdentity(const platform::IReadableFile& image);

} // namespace mellowby::archive
