#include "digest/piecering.h"

namespace mellowby::digest {

PieceRing::PieceRing(std::size_t count, std::size_t bufferSize, MemoryUse& memory)
    : m_bufferSize(bufferSize)
    , m_memory(memory)
    , m_pieces(count)
{
    // Left uninitialised: pages nobody writes to are never given to the process, so a run over
    // small files holds little of its buffers.
    for (auto& piece : m_pieces) {
        piece.buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
        m_empty.push_back(&piece);
    }
    m_memory.add(count * bufferSize);
}

PieceRing::~PieceRing()
{
    m_memory.remove(m_pieces.size() * m_bufferSize);
}

Piece* PieceRing::emptyPiece()
{
    std::unique_lock lock(m_mutex);
    if (m_empty.empty()) {
        // The hasher may be waiting for fewer pieces than it is woken for.
        if (m_hasherWaiting && !m_filled.empty())
            m_filledCame.notify_one();
        m_readerWaiting = true;
        m_emptyCame.wait(lock, [&] { return !m_empty.empty(); });
        m_readerWaiting = false;
    }
    Piece* piece = m_empty.back();
    m_empty.pop_back();
    return piece;
}

void PieceRing::pass(Piece* piece)
{
    std::lock_guard lock(m_mutex);
    m_filled.push_back(piece);
    if (m_hasherWaiting && m_filled.size() >= wakingCount())
        m_filledCame.notify_one();
}

void PieceRing::flush()
{
    std::lock_guard lock(m_mutex);
    if (m_hasherWaiting && !m_filled.empty())
        m_filledCame.notify_one();
}

void PieceRing::finish()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_filledCame.notify_one();
}

Piece* PieceRing::filledPiece()
{
    std::unique_lock lock(m_mutex);
    if (m_filled.empty() && !m_finished) {
        m_hasherWaiting = true;
        m_filledCame.wait(lock, [&] { return m_finished || !m_filled.empty(); });
        m_hasherWaiting = false;
    }
    if (m_filled.empty())
        return nullptr;
    Piece* piece = m_filled.front();
    m_filled.pop_front();
    return piece;
}

void PieceRing::giveBack(Piece* piece)
{
    piece->length = 0;
    piece->heldCost = 0;
    piece->startsFile.reset();
    piece->endsFile.reset();
    std::lock_guard lock(m_mutex);
    m_empty.push_back(piece);
    if (m_readerWaiting && m_empty.size() >= wakingCount())
        m_emptyCame.notify_one();
}

} // namespace mellowby::digest
