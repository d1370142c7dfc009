#pragma once

#include <string>

#include "platform/drives.h"
#include "platform/linux/driveclassification.h"

namespace mellowby::platform {

// Where the drive list is read from; tests point these at a fake tree.
struct DrivePaths {
    std::string mountInfo = "/proc/self/mountinfo";
    std::string fstab = "/etc/fstab";
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
};

// Mount points stand for drives. The list is read afresh on every call, so the media check
// sees a disc mounted since the last listing.
class LinuxDrives final : public IDrives {
public:
    explicit LinuxDrives(DrivePaths paths = {});

    std::vector<Drive> listDrives() override;
    std::expected<bool, Error> mediaReady(const std::string& root) override;

private:
    std::expected<std::vector<DriveEntry>, Error> currentDrives() const;

    DrivePaths m_paths;
};

} // namespace mellowby::platform
