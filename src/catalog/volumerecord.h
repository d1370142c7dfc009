#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/volumes.h"

namespace mellowby::catalog {

// What a catalog knows of the volume it was scanned from. It lies beside the catalog in the Data
// folder and is only ever a help in finding the catalog's files: a catalog without one (made
// before, or on Windows), or with one that cannot be read, works as it always has.
struct VolumeRecord {
    platform::Volume volume; // as it was at the scan
    std::string relativePath; // the scanned folder below the volume's mount point: "photos/2004"
    std::string scannedPath; // the scanned path as given, which the catalog's Disk Label holds

    bool operator==(const VolumeRecord&) const = default;
};

// The text of a record's file: a comment line, then one "key=value" line per field, in UTF-8.
// Backslashes, control characters and bytes that are not UTF-8 are written as escapes (\\, \n,
// \r, \t, \xNN), so that any name a file system allows comes back byte for byte.
std::string formatVolumeRecord(const VolumeRecord& record);

// The record a file's text holds, or nothing when the text is damaged: a line that is neither
// "key=value", a comment nor empty, a bad escape, a size that is no number, or no mount point or
// scanned path. Keys it does not know are passed over, so that a later version may add some.
std::optional<VolumeRecord> parseVolumeRecord(std::string_view text);

} // namespace mellowby::catalog
