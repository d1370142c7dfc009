#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "digest/filedigest.h"
#include "digest/memoryuse.h"

namespace mellowby::digest {

// How the reading of a file ended, as its reader saw it. The hasher makes the digest of a file
// whose reading ended Digested.
struct ReadEnd {
    // Left part way because the run stopped: nothing is said of the file.
    bool abandoned = false;
    FileStatus status = FileStatus::Digested;
    std::optional<platform::FileStamp> stamp;
    std::uint64_t errorOffset = 0;
    platform::Error error;
};

// A buffer on its way from the reader to the hasher, with what the hasher needs to know of the
// file it belongs to.
struct Piece {
    std::unique_ptr<char[]> buffer;
    std::size_t length = 0;
    // The first piece of a file carries it, and the bytes it counts for among the files waiting.
    std::optional<FileToDigest> startsFile;
    std::size_t heldCost = 0;
    // The last piece of a file says how its reading ended.
    std::optional<ReadEnd> endsFile;

    std::span<const char> bytes() const { return { buffer.get(), length }; }
};

// A fixed set of buffers going round between one reader and one hasher, made once: the reader
// fills the next while the hasher works on the last, so that the device does not wait for the
// hash, and neither side gets ahead of the other by more than the set.
class PieceRing {
public:
    PieceRing(std::size_t count, std::size_t bufferSize, MemoryUse& memory);
    ~PieceRing();
    PieceRing(const PieceRing&) = delete;
    PieceRing& operator=(const PieceRing&) = delete;

    std::size_t bufferSize() const { return m_bufferSize; }

    // For the reader: a piece to fill, waiting for the hasher to give one back.
    Piece* emptyPiece();
    void pass(Piece* piece);
    // Before the reader waits for anything else (more files): the hasher gets to the pieces
    // passed, however few.
    void flush();
    // No more pieces will come.
    void finish();

    // For the hasher: the next piece passed, waiting for one; nothing once every piece passed is
    // taken and the reader has finished.
    Piece* filledPiece();
    void giveBack(Piece* piece);

private:
    // Each side wakes the other only once half of the set waits for it, not for every piece: on a
    // busy machine every wake-up is a wait for a turn on a processor.
    std::size_t wakingCount() const { return std::max<std::size_t>(1, m_pieces.size() / 2); }

    std::size_t m_bufferSize;
    MemoryUse& m_memory;
    std::vector<Piece> m_pieces;
    std::mutex m_mutex;
    // The reader waits on the one, the hasher on the other: neither is woken for nothing.
    std::condition_variable m_emptyCame;
    std::condition_variable m_filledCame;
    std::vector<Piece*> m_empty;
    std::deque<Piece*> m_filled;
    bool m_finished = false;
    bool m_readerWaiting = false;
    bool m_hasherWaiting = false;
};

} // namespace mellowby::digest
