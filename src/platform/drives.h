#pragma once

#include <expected>
#include <string>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {

enum class DriveKind { Removable, Fixed, Remote, CdRom, RamDisk, Unknown };

// A place the user can scan: a mount point, or the device path of an optical drive that is
// not mounted anywhere.
struct Drive {
    std::string root;
    DriveKind kind = DriveKind::Unknown;

    bool operator==(const Drive&) const = default;
};

class IDrives {
public:
    virtual ~IDrives() = default;

    // The drives sorted by root.
    virtual std::vector<Drive> listDrives() = 0;
    // Whether root is a drive that holds a readable medium right now. False for a path that
    // names no drive; an Error only for failures that are not simply "no medium".
    virtual std::expected<bool, Error> mediaReady(const std::string& root) = 0;
};

} // namespace mellowby::platform
