#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {

// A mounted file system as the system describes it. What tells one volume from another (its UUID,
// label, type and size) goes with the volume wherever it is mounted; where it is mounted does not.
struct Volume {
    std::string uuid; // empty where the file system has none or the system does not tell it
    std::string label; // empty where it has none
    std::string type; // "ext4", "vfat", "iso9660"
    std::uint64_t totalBytes = 0; // the file system's size; 0 where it was not asked
    std::string device; // the block device it is mounted from ("/dev/sdb1"); empty for other sources
    std::string mountPoint;
    // The folder of the file system that appears at mountPoint: "/" for the whole volume, the
    // folder of a bind mount or a subvolume otherwise.
    std::string root = "/";

    bool operator==(const Volume&) const = default;
};

// A path and the volume that holds it.
struct PlaceOnVolume {
    Volume volume;
    // The path below the volume's mount point, symbolic links resolved, without a leading
    // separator ("" for the mount point itself): "photos/2004".
    std::string relativePath;

    bool operator==(const PlaceOnVolume&) const = default;
};

// Which volumes are mounted, and which holds a path. Safe to use from any one thread at a time.
class IVolumes {
public:
    virtual ~IVolumes() = default;

    // The volume that holds path and where on it path lies. An error for a path that cannot be
    // resolved, and for one on a network or pseudo file system, which has no identity of its own.
    virtual std::expected<PlaceOnVolume, Error> placeOf(const std::string& path) = 0;
    // Every volume mounted now, in the mount table's order, without the kernel's own file systems.
    // Network file systems are listed without their size, which could wait on an absent server.
    virtual std::expected<std::vector<Volume>, Error> mountedVolumes() = 0;
};

} // namespace mellowby::platform
