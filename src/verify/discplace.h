#pragma once

#include <expected>
#include <optional>
#include <string>

namespace mellowby::platform {
class IVolumes;
}

namespace mellowby::catalog {
struct VolumeRecord;
}

namespace mellowby::verify {

// Why a catalog's scanned folder cannot be found now.
struct DiscNotFound {
    bool wrongDisc = false; // another volume is where it was asked for or where it was
    std::string text; // in words, naming that volume
};

// Where the folder a catalog was scanned from lies now. Without at, where its volume is mounted
// now, by the record of the volume (as `where` tells). With at, the folder given, which must lie
// on the catalog's volume: at the scanned folder itself or above it, at the volume's mount point
// wherever that is now; another volume there is refused and named. A catalog without a record
// of its volume is taken at at as it is.
std::expected<std::string, DiscNotFound> scannedFolderNow(platform::IVolumes& volumes,
    const std::optional<catalog::VolumeRecord>& record, const std::optional<std::string>& at);

} // namespace mellowby::verify
