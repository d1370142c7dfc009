#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/volumes.h"

namespace mellowby::catalog {

// What a catalog knows of the volume it was scanned from. It lies beside the catalog in the Data
// folder and is only ever a help in finding the catalog's files: a catalog without one (made
// before, or on Windows), or with one that cannot be read, works as it always has.
// What a disc image catalogued as the disc it holds says of itself in its volume descriptors.
struct DiscImageRecord {
    std::string label; // the label a system would show for the disc
    std::string volumeIdentifier;
    std::string volumeSetIdentifier;
    std::optional<std::int64_t> creationTime; // seconds since 1970 UTC
    std::uint64_t volumeSpaceBytes = 0;

    bool operator==(const DiscImageRecord&) const = default;
};

struct VolumeRecord {
    // As it was at the scan. For a disc image: the volume that holds the image file, and nothing
    // (no mount point) where that could not be told.
    platform::Volume volume;
    std::string relativePath; // the scanned folder below the volume's mount point: "photos/2004"
    std::string scannedPath; // the scanned path as given, which the catalog's Disk Label holds
    // Set when the scanned path is a disc image file, whose files are catalogued below its path.
    std::optional<DiscImageRecord> image {};

    bool operator==(const VolumeRecord&) const = default;
};

// The text of a record's file: a comment line, then one "key=value" line per field, in UTF-8.
// Backslashes, control characters and bytes that are not UTF-8 are written as escapes (\\, \n,
// \r, \t, \xNN), so that any name a file system allows comes back byte for byte.
std::string formatVolumeRecord(const VolumeRecord& record);

// The record a file's text holds, or nothing when the text is damaged: a line that is neither
// "key=value", a comment nor empty, a bad escape, a size that is no number, or no mount point or
// scanned path. Keys it does not know are passed over, so that a later version may add some.
// The keys of a disc image came so: a reader before them takes the record of an image as one of
// the volume holding the image file, and refuses the record of an image on a volume that could
// not be told, for want of a mount point.
std::optional<VolumeRecord> parseVolumeRecord(std::string_view text);

} // namespace mellowby::catalog
