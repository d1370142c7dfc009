#include "platform/linux/storageclassification.h"

#include "platform/linux/blockdevices.h"
#include "platform/linux/mounttable.h"

namespace mellowby::platform {

StorageKind classifyStorage(const std::string& majorMinor, std::string_view mountInfo, const std::string& sysfsRoot)
{
    std::string source;
    for (const auto& mount : visibleMounts(mountInfo)) {
        if (mount.majorMinor == majorMinor) {
            source = mount.source;
            break;
        }
    }
    const auto disk = wholeDiskNode(sysfsRoot, majorMinor, source);
    if (!disk)
        return StorageKind::Unknown;
    // SCSI type 5 is a CD or DVD drive, whatever the driver called it.
    if (isOpticalDriveName(disk->filename().string()) || firstLine(*disk / "device/type") == "5")
        return StorageKind::Optical;
    const auto rotational = firstLine(*disk / "queue/rotational");
    if (rotational == "1")
        return StorageKind::Rotational;
    if (rotational == "0")
        return StorageKind::Solid;
    return StorageKind::Unknown;
}

} // namespace mellowby::platform
