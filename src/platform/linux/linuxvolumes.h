#pragma once

#include <string>

#include "platform/volumes.h"

namespace mellowby::platform {

struct MountEntry;

// Where volumes are read from; tests point these at a fake tree.
struct VolumePaths {
    std::string mountInfo = "/proc/self/mountinfo";
    // Mounts from a file below here are mounts of a device.
    std::string devRoot = "/dev";
    // udev's links by-uuid/ and by-label/, named after the file systems they point to.
    std::string diskLinks = "/dev/disk";
};

// Volumes from the mount table. A file system's UUID and label are read from its device with
// libblkid where the device can be read (root, or a member of the device's group), and otherwise
// from the links udev makes for it; without either they stay empty, and the label, type and
// size are what is left to tell volumes apart. Everything is read afresh on every call.
class LinuxVolumes final : public IVolumes {
public:
    explicit LinuxVolumes(VolumePaths paths = {});

    std::expected<PlaceOnVolume, Error> placeOf(const std::string& path) override;
    std::expected<std::vector<Volume>, Error> mountedVolumes() override;

private:
    VolumePaths m_paths;
};

} // namespace mellowby::platform
