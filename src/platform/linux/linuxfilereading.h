#pragma once

#include <string>

#include "platform/filereading.h"

namespace mellowby::platform {

class LinuxFileReading final : public IFileReading {
public:
    // sysfsRoot and mountInfoPath are where the kinds of devices are learnt; tests give trees of
    // their own.
    explicit LinuxFileReading(std::string sysfsRoot = "/sys", std::string mountInfoPath = "/proc/self/mountinfo")
        : m_sysfsRoot(std::move(sysfsRoot))
        , m_mountInfoPath(std::move(mountInfoPath))
    {
    }

    std::expected<std::unique_ptr<ISequentialFile>, Error> openSequential(const std::string& path) override;
    StorageKind storageKindOf(const std::string& path) override;

private:
    std::string m_sysfsRoot;
    std::string m_mountInfoPath;
};

} // namespace mellowby::platform
