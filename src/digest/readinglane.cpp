#include "digest/readinglane.h"

#include "digest/hasher.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace mellowby::digest {

namespace {

ReadEnd endedAs(FileStatus status, std::optional<platform::FileStamp> stamp = std::nullopt)
{
    ReadEnd end;
    end.status = status;
    end.stamp = stamp;
    return end;
}

ReadEnd missing(const platform::Error& error)
{
    ReadEnd end = endedAs(FileStatus::Missing);
    end.error = error;
    return end;
}

ReadEnd abandoned()
{
    ReadEnd end;
    end.abandoned = true;
    return end;
}

bool sameVersion(const platform::FileStamp& opened, const platform::FileStamp& now)
{
    return opened.size == now.size && opened.modified == now.modified && opened.changed == now.changed;
}

} // namespace

ReadingLane::ReadingLane(RunState& run, const ReadingPlan& plan)
    : m_run(run)
    , m_ring(plan.buffersPerLane, plan.bufferSize, run.memory)
    , m_inPlacementOrder(plan.inPlacementOrder)
    , m_order(run.files)
{
    m_hasher = std::thread([this] { hashFiles(); });
    m_reader = std::thread([this] { readFiles(); });
}

ReadingLane::~ReadingLane()
{
    m_reader.join();
    m_hasher.join();
}

void ReadingLane::readFiles()
{
    // A device read in the order of its data takes every file waiting at once, to sort them.
    const std::size_t batch = m_inPlacementOrder ? std::numeric_limits<std::size_t>::max() : 1;
    for (;;) {
        auto files = m_run.pending.take(batch);
        if (files.empty())
            break;
        if (m_inPlacementOrder)
            m_order.sort(files);
        for (auto& held : files) {
            if (m_run.stopped()) {
                m_run.pending.release(held.cost);
                continue;
            }
            readFile(std::move(held));
        }
    }
    m_ring.finish();
}

void ReadingLane::readFile(HeldFile held)
{
    auto opened = m_run.files.openSequential(held.file.path);
    const bool seenAsGiven = opened && (*opened)->stamp().size == held.file.size
        && (!held.file.modified || *held.file.modified == (*opened)->stamp().modified);
    // The hasher takes the file with its first piece.
    Piece* piece = m_ring.emptyPiece();
    piece->startsFile = std::move(held.file);
    piece->heldCost = held.cost;
    if (!opened) {
        const int number = opened.error().number;
        if (number == ENOENT || number == ENOTDIR)
            return endFile(piece, missing(opened.error()));
        return endFile(piece, failure(0, opened.error()));
    }
    auto& source = **opened;
    const platform::FileStamp stamp = source.stamp();
    if (!seenAsGiven)
        return endFile(piece, endedAs(FileStatus::Changed, stamp));

    // Exactly the size the file had when it was opened is read: a file that grows or shrinks
    // meanwhile shows it in its stamp or by ending early. A piece that comes short is passed on
    // as it is, and the next read tells whether the file ended or a bad place begins.
    for (std::uint64_t offset = 0; offset < stamp.size;) {
        if (m_run.stopped())
            return endFile(piece, abandoned());
        if (piece->length > 0) {
            m_ring.pass(piece);
            piece = m_ring.emptyPiece();
        }
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(m_ring.bufferSize(), stamp.size - offset));
        const auto got = source.read({ piece->buffer.get(), wanted });
        if (!got)
            return endFile(piece, failure(offset, got.error()));
        if (*got == 0)
            return endFile(piece, endedAs(FileStatus::Changed, stamp));
        m_run.medium.succeeded();
        piece->length = *got;
        offset += *got;
    }
    const auto now = source.currentStamp();
    if (!now)
        return endFile(piece, failure(stamp.size, now.error()));
    endFile(piece, endedAs(sameVersion(stamp, *now) ? FileStatus::Digested : FileStatus::Changed, stamp));
}

ReadEnd ReadingLane::failure(std::uint64_t offset, const platform::Error& error)
{
    // A medium that is gone ends the run: the files not read yet are not unreadable, they are
    // simply not there to be read.
    if (m_run.medium.failed(error)) {
        m_run.stop();
        return abandoned();
    }
    ReadEnd end = endedAs(FileStatus::Unreadable);
    end.errorOffset = offset;
    end.error = error;
    return end;
}

void ReadingLane::endFile(Piece* piece, ReadEnd end)
{
    piece->endsFile = std::move(end);
    m_ring.pass(piece);
}

void ReadingLane::hashFiles()
{
    Hasher hasher(m_run.algorithm);
    std::optional<FileToDigest> file;
    std::size_t heldCost = 0;
    std::uint64_t counted = 0;
    while (Piece* piece = m_ring.filledPiece()) {
        if (piece->startsFile) {
            file = std::move(piece->startsFile);
            heldCost = piece->heldCost;
            counted = 0;
            hasher.reset();
        }
        // After a stop too: a file whose reading ended before it is reported whole.
        if (piece->length > 0) {
            hasher.update(piece->bytes());
            m_run.bytesDone.fetch_add(piece->length, std::memory_order_relaxed);
            counted += piece->length;
        }
        if (piece->endsFile && piece->endsFile->abandoned) {
            m_run.pending.release(heldCost);
        } else if (piece->endsFile) {
            ReadEnd& end = *piece->endsFile;
            FileDigest outcome;
            outcome.file = std::move(*file);
            outcome.status = end.status;
            outcome.stamp = end.stamp;
            outcome.errorOffset = end.errorOffset;
            outcome.error = std::move(end.error);
            if (end.status == FileStatus::Digested)
                outcome.digest = hasher.finish();
            // A file counts for the size it was given with, whatever was read of it; unsigned
            // arithmetic takes back what a file read beyond it.
            m_run.bytesDone.fetch_add(outcome.file.size - counted, std::memory_order_relaxed);
            m_run.filesDone.fetch_add(1, std::memory_order_relaxed);
            m_run.report(std::move(outcome));
            m_run.pending.release(heldCost);
        }
        m_ring.giveBack(piece);
    }
}

} // namespace mellowby::digest
