#pragma once

#include "digest/piecering.h"
#include "digest/readingplan.h"
#include "digest/runstate.h"

#include <thread>

namespace mellowby::digest {

// Reads files one after another on a thread of its own, from start to end in large pieces, and
// digests them on a second thread, so that the device never waits for the hash. A run has one
// lane per file it reads at once.
class ReadingLane {
public:
    ReadingLane(RunState& run, const ReadingPlan& plan);
    // Waits for both threads: the run has been stopped, or every file given is done.
    ~ReadingLane();
    ReadingLane(const ReadingLane&) = delete;
    ReadingLane& operator=(const ReadingLane&) = delete;

private:
    void readFiles();
    void readFile(HeldFile held);
    // Passes the piece that ends the file, with how its reading ended.
    void endFile(Piece* piece, ReadEnd end);
    // How reading ends at a failure at offset.
    ReadEnd failure(std::uint64_t offset, const platform::Error& error);
    void hashFiles();

    RunState& m_run;
    PieceRing m_ring;
    bool m_inPlacementOrder;
    PlacementOrder m_order;
    std::thread m_reader;
    std::thread m_hasher;
};

} // namespace mellowby::digest
