#pragma once

#include <functional>
#include <thread>

#include "digest/hasher.h"
#include "digest/piecering.h"
#include "digest/readingplan.h"
#include "digest/runstate.h"

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
    void readFile(OpenedFile opened);
    // Reads source from start to end into piece; each piece filled goes to handOn, which gives the
    // piece to fill next. How the reading ended.
    ReadEnd readWhole(
        platform::ISequentialFile& source, Piece*& piece, const std::function<Piece*(Piece* full)>& handOn);
    // How reading ends at a failure at offset.
    ReadEnd failure(std::uint64_t offset, const platform::Error& error);
    // Reports the file (unless it was left part way) with the digest hasher holds, and lets go of
    // it. counted: the bytes of it already counted as done.
    void conclude(FileToDigest file, std::size_t heldCost, ReadEnd end, Hasher& hasher, std::uint64_t counted);
    void hashFiles();

    RunState& m_run;
    PieceRing m_ring;
    ReadingPlan m_plan;
    PlacementOrder m_order;
    // The reader's own, for the small files it digests itself, and the hasher's. Made here, so
    // that a failure to make them reaches whoever starts the lane.
    Hasher m_inPlace;
    Hasher m_piecesHasher;
    std::thread m_reader;
    std::thread m_hasher;
};

} // namespace mellowby::digest
