#pragma once

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/paths.h"
#include "platform/volumes.h"

namespace mellowby::fakes {

// Volumes mounted at will: a path lies on the mounted volume with the longest mount point above it.
class FakeVolumes final : public platform::IVolumes {
public:
    std::vector<platform::Volume> mounted;
    std::optional<platform::Error> failure; // of every call, as of an unreadable mount table

    std::expected<platform::PlaceOnVolume, platform::Error> placeOf(const std::string& path) override
    {
        if (failure)
            return std::unexpected(*failure);
        const platform::Volume* holder = nullptr;
        for (const auto& volume : mounted) {
            if (platform::pathBelow(path, volume.mountPoint)
                && (holder == nullptr || volume.mountPoint.size() > holder->mountPoint.size()))
                holder = &volume;
        }
        if (holder == nullptr)
            return std::unexpected(platform::errorFromErrno(ENOENT));
        return platform::PlaceOnVolume { *holder, std::string(*platform::pathBelow(path, holder->mountPoint)) };
    }
    std::expected<std::vector<platform::Volume>, platform::Error> mountedVolumes() override
    {
        if (failure)
            return std::unexpected(*failure);
        return mounted;
    }
};

} // namespace mellowby::fakes
