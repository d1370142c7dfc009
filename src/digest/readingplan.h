#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <vector>

#include "digest/pendingfiles.h"
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
    // What a reader waits for before it takes files, and the most it takes at once.
    BatchSize batchEnough;
    BatchSize batchMost;
};

// An optical drive or a spinning disk reads one file at a time in the order of the data, since
// every jump of its head costs more than the reading; other devices (and those not known, such
// as a share over the network, where waiting is the cost) read several files at once, one for
// each core up to four. Half of memoryLimit goes to buffers. A reader in the order of the data
// takes every file waiting, to sort them; the others take a few at a time, so that one of them
// does not hold the work of the rest.
ReadingPlan planFor(platform::StorageKind kind, std::size_t memoryLimit, unsigned cores);
// A quarter of memoryLimit goes to the files given and not yet done; the rest is left for what
// the run holds besides (hash states, the order of a batch, threads).
std::size_t pendingLimitFor(std::size_t memoryLimit);

// A file taken to be read, opened ahead of its turn so that where its data lie can be asked of it
// without opening it twice.
struct OpenedFile {
    HeldFile held;
    std::expected<std::unique_ptr<platform::ISequentialFile>, platform::Error> file;
    // Where its data lie, or those of the file given before it when that is not known.
    std::uint64_t place = 0;
};

// Puts files in the order of their data on their device. Once their file system says it does not
// tell where data lie, no more is asked for the rest of the run.
class PlacementOrder {
public:
    // A file whose place is not known (an empty one, one whose file system does not tell, one that
    // could not be opened) stays right after the file given before it.
    void sort(std::vector<OpenedFile>& files);

private:
    bool m_fileSystemTells = true;
};

} // namespace mellowby::digest
