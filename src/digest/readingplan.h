#pragma once

#include "digest/pendingfiles.h"

#include <cstddef>
#include <vector>

#include "platform/filereading.h"

namespace mellowby::digest {

// How a run reads, from the kind of device and the memory it may hold.
struct ReadingPlan {
    // Files read at once, each by a reader and a hasher of its own.
    std::size_t lanes = 1;
    // Whether files go in the order of their data on the device rather than in the order given.
    bool inPlacementOrder = false;
    std::size_t buffersPerLane = 0;
    std::size_t bufferSize = 0;

    bool operator==(const ReadingPlan&) const = default;
};

// An optical drive or a spinning disk reads one file at a time in the order of the data, since
// every jump of its head costs more than the reading; other devices (and those not known, such
// as a share over the network, where waiting is the cost) read several files at once, one for
// each core up to four. Half of memoryLimit goes to buffers.
ReadingPlan planFor(platform::StorageKind kind, std::size_t memoryLimit, unsigned cores);
// A quarter of memoryLimit goes to the files given and not yet done; the rest is left for what
// the run holds besides (hash states, the order of a batch, threads).
std::size_t pendingLimitFor(std::size_t memoryLimit);

// Whether the file system of the files tells where their data lie; once it says it does not, no
// more is asked for the rest of the run.
class PlacementOrder {
public:
    explicit PlacementOrder(platform::IFileReading& files)
        : m_files(files)
    {
    }

    // Puts files in the order of their data on the device. A file whose place is not known (an
    // empty one, one whose file system does not tell) stays right after the file given before it.
    void sort(std::vector<HeldFile>& files);

private:
    platform::IFileReading& m_files;
    bool m_fileSystemTells = true;
};

} // namespace mellowby::digest
