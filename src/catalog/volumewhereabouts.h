#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/volumes.h"

namespace mellowby::catalog {

struct VolumeRecord;

// Whether two descriptions are of the same volume: by UUID where both have one, else by label,
// type and size together.
bool sameVolume(const platform::Volume& a, const platform::Volume& b);

enum class VolumeState {
    Mounted, // the catalog's volume is mounted, at the folder of the scan or elsewhere
    Replaced, // another volume is where it was: at its mount point, or from its device
    Absent, // neither
};

struct VolumeWhereabouts {
    VolumeState state = VolumeState::Absent;
    // Mounted: the catalog's volume as it is mounted now. Replaced: the volume in its place.
    platform::Volume volume;
    // Mounted: where the scanned folder lies now.
    std::string scannedPathNow;

    bool operator==(const VolumeWhereabouts&) const = default;
};

// Where the volume of a record is among the volumes mounted now. A volume mounted in more than
// one place is taken at the mount point of the scan when it is there, else where all of it is
// mounted; a mount that shows only another part of it does not hold the scanned folder.
VolumeWhereabouts locateVolume(const VolumeRecord& record, const std::vector<platform::Volume>& mounted);

// Where a location listed from the catalog (a path under the scanned path, as the file list
// shows it) lies when the scanned folder lies at scannedPathNow; nothing for a location that is
// not under the scanned path.
std::optional<std::string> relocated(
    const VolumeRecord& record, std::string_view location, std::string_view scannedPathNow);

enum class VolumeDetail { Short, Full };
// A volume as the user knows it: by its label, else its UUID, else its type. In full, its UUID
// (or type) and size follow, to tell apart volumes with the same label.
std::string volumeDescription(const platform::Volume& volume, VolumeDetail detail = VolumeDetail::Short);

} // namespace mellowby::catalog
