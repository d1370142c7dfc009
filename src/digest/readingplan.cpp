#include "digest/readingplan.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace mellowby::digest {

namespace {

constexpr std::size_t kBuffersPerLane = 4;
// Large enough that a device is asked for long runs of data at once, small enough that a buffer
// the hasher reads is still in the processor's cache from when it was filled.
constexpr std::size_t kLargestBuffer = 8 * 1024 * 1024;
constexpr std::size_t kSmallestBuffer = 64 * 1024;
constexpr std::size_t kMostLanes = 4;

} // namespace

ReadingPlan planFor(platform::StorageKind kind, std::size_t memoryLimit, unsigned cores)
{
    ReadingPlan plan;
    plan.inPlacementOrder = kind == platform::StorageKind::Optical || kind == platform::StorageKind::Rotational;
    plan.lanes = plan.inPlacementOrder ? 1 : std::clamp<std::size_t>(cores, 2, kMostLanes);
    plan.buffersPerLane = kBuffersPerLane;
    const std::size_t perBuffer = memoryLimit / 2 / (plan.lanes * plan.buffersPerLane);
    plan.bufferSize = std::clamp(perBuffer / kSmallestBuffer * kSmallestBuffer, kSmallestBuffer, kLargestBuffer);
    return plan;
}

std::size_t pendingLimitFor(std::size_t memoryLimit)
{
    return memoryLimit / 4;
}

void PlacementOrder::sort(std::vector<HeldFile>& files)
{
    if (files.size() < 2)
        return;
    std::uint64_t previous = 0;
    for (auto& held : files) {
        if (m_fileSystemTells && held.file.size > 0) {
            const auto place = m_files.placementOf(held.file.path);
            if (place && *place)
                previous = **place;
            else if (!place && place.error().number == EOPNOTSUPP)
                m_fileSystemTells = false;
        }
        held.place = previous;
    }
    // Sorted in place: a batch can hold as many files as the run may keep waiting.
    std::ranges::sort(files, {}, [](const HeldFile& held) { return std::pair(held.place, held.given); });
}

} // namespace mellowby::digest
