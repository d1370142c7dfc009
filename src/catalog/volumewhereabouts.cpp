#include "catalog/volumewhereabouts.h"

#include <algorithm>
#include <cstdint>

#include "catalog/volumerecord.h"
#include "platform/paths.h"

namespace mellowby::catalog {

namespace {

std::string joinedOrFolder(std::string_view folder, std::string_view below)
{
    return below.empty() ? std::string(folder) : platform::joinPath(folder, below);
}

} // namespace

bool sameVolume(const platform::Volume& a, const platform::Volume& b)
{
    if (!a.uuid.empty() && !b.uuid.empty())
        return a.uuid == b.uuid;
    return a.label == b.label && a.type == b.type && a.totalBytes == b.totalBytes;
}

VolumeWhereabouts locateVolume(const VolumeRecord& record, const std::vector<platform::Volume>& mounted)
{
    const platform::Volume& recorded = record.volume;
    // The scanned folder as a path inside the file system, so that mounts of other parts of it compare.
    const std::string inVolume = joinedOrFolder(recorded.root, record.relativePath);

    const platform::Volume* found = nullptr;
    std::string_view foundBelow;
    for (const auto& volume : mounted) {
        if (!sameVolume(volume, recorded))
            continue;
        const auto below = platform::pathBelow(inVolume, volume.root);
        if (!below)
            continue;
        const bool better = found == nullptr || volume.mountPoint == recorded.mountPoint
            || (found->mountPoint != recorded.mountPoint && volume.root.size() < found->root.size());
        if (better) {
            found = &volume;
            foundBelow = *below;
        }
    }
    if (found != nullptr)
        return { VolumeState::Mounted, *found, joinedOrFolder(found->mountPoint, foundBelow) };

    // Only another part of the same volume where it was is no other volume.
    auto inItsPlace = std::ranges::find_if(mounted, [&](const platform::Volume& volume) {
        return volume.mountPoint == recorded.mountPoint && !sameVolume(volume, recorded);
    });
    if (inItsPlace == mounted.end() && !recorded.device.empty()) {
        inItsPlace = std::ranges::find_if(mounted, [&](const platform::Volume& volume) {
            return volume.device == recorded.device && !sameVolume(volume, recorded);
        });
    }
    if (inItsPlace != mounted.end())
        return { VolumeState::Replaced, *inItsPlace, {} };
    return {};
}

std::optional<std::string> relocated(
    const VolumeRecord& record, std::string_view location, std::string_view scannedPathNow)
{
    // Locations are listed with doubled separators written as one.
    const std::string scanned = platform::collapseDoubledSeparators(record.scannedPath);
    const auto below = platform::pathBelow(location, scanned);
    if (!below)
        return std::nullopt;
    return joinedOrFolder(scannedPathNow, *below);
}

std::string volumeDescription(const platform::Volume& volume, VolumeDetail detail)
{
    std::string text;
    if (!volume.label.empty())
        text = volume.label;
    else if (!volume.uuid.empty())
        text = "UUID " + volume.uuid;
    else
        text = "无卷标的 " + volume.type + " 卷";
    if (detail == VolumeDetail::Full) {
        constexpr std::uint64_t kMegabyte = 1024 * 1024;
        text += "（";
        if (!volume.label.empty() && !volume.uuid.empty())
            text += "UUID " + volume.uuid + "，";
        else if (!volume.label.empty() || !volume.uuid.empty())
            text += volume.type + "，";
        text += std::to_string(volume.totalBytes / kMegabyte) + " MB）";
    }
    return text;
}

} // namespace mellowby::catalog
