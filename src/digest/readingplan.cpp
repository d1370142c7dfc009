#include "digest/readingplan.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <utility>

namespace mellowby::digest {

namespace {

constexpr std::size_t kMiB = 1024 * 1024;
constexpr std::size_t kBuffersPerLane = 4;
// Large enough that a device is asked for long runs of data at once (the kernel reads further
// ahead on its own), small enough that the buffers of a lane stay in the processor's cache: from
// the page cache, 8 MiB pieces cost a tenth to a fifth more processor time than 1 MiB ones, copied
// out to memory and read back from it.
constexpr std::size_t kLargestBuffer = 1 * kMiB;
constexpr std::size_t kSmallestBuffer = 64 * 1024;
constexpr std::size_t kMostLanes = 4;
// The files a reader in the order of the data opens ahead to sort them: more sort better, but
// each holds a descriptor, of which a process has 1024 by default.
constexpr std::size_t kOpenAhead = 256;

} // namespace

ReadingPlan planFor(platform::StorageKind kind, std::size_t memoryLimit, unsigned cores)
{
    ReadingPlan plan;
    plan.inPlacementOrder = kind == platform::StorageKind::Optical || kind == platform::StorageKind::Rotational;
    plan.lanes = plan.inPlacementOrder ? 1 : std::clamp<std::size_t>(cores, 2, kMostLanes);
    plan.buffersPerLane = kBuffersPerLane;
    const std::size_t perBuffer = memoryLimit / 2 / (plan.lanes * plan.buffersPerLane);
    plan.bufferSize = std::clamp(perBuffer / kSmallestBuffer * kSmallestBuffer, kSmallestBuffer, kLargestBuffer);
    if (plan.inPlacementOrder) {
        plan.batchEnough = { kOpenAhead, 64 * kMiB };
        plan.batchMost = { kOpenAhead, std::numeric_limits<std::uint64_t>::max() };
    } else {
        plan.batchEnough = { 64, 16 * kMiB };
        plan.batchMost = plan.batchEnough;
    }
    return plan;
}

std::size_t pendingLimitFor(std::size_t memoryLimit)
{
    return memoryLimit / 4;
}

void PlacementOrder::sort(std::vector<OpenedFile>& files)
{
    if (files.size() < 2)
        return;
    std::uint64_t previous = 0;
    for (auto& opened : files) {
        if (m_fileSystemTells && opened.file && opened.held.file.size > 0) {
            const auto place = (*opened.file)->placement();
            if (place && *place)
                previous = **place;
            else if (!place && place.error().number == EOPNOTSUPP)
                m_fileSystemTells = false;
        }
        opened.place = previous;
    }
    std::ranges::sort(files, {}, [](const OpenedFile& opened) { return std::pair(opened.place, opened.held.given); });
}

} // namespace mellowby::digest
