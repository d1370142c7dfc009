#include "digest/readinglane.h"

#include <algorithm>
#include <cerrno>

namespace mellowby::digest {

namespace {

// Files up to this size are digested by their reader: handing a file to the other thread costs
// about as much as hashing this many bytes, and the device waits no longer than the hand-off
// would take.
constexpr std::uint64_t kHashedInPlace = 64 * 1024;

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
    , m_plan(plan)
    , m_inPlace(run.algorithm)
    , m_piecesHasher(run.algorithm)
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
    for (;;) {
        m_ring.flush();
        auto batch = m_run.pending.take(m_plan.batchEnough, m_plan.batchMost);
        if (batch.empty())
            break;
        std::vector<OpenedFile> files;
        files.reserve(batch.size());
        for (auto& held : batch) {
            auto file = m_run.files.openSequential(held.file.path);
            files.push_back({ std::move(held), std::move(file), 0 });
        }
        if (m_plan.inPlacementOrder)
            m_order.sort(files);
        for (auto& opened : files) {
            if (m_run.stopped())
                m_run.pending.release(opened.held.cost);
            else
                readFile(std::move(opened));
        }
    }
    m_ring.finish();
}

void ReadingLane::readFile(OpenedFile opened)
{
    FileToDigest& file = opened.held.file;
    const std::size_t cost = opened.held.cost;
    // Opened ahead of their turn, files may run out of descriptors; by now those before are closed.
    if (!opened.file && (opened.file.error().number == EMFILE || opened.file.error().number == ENFILE))
        opened.file = m_run.files.openSequential(file.path);
    if (!opened.file) {
        const int number = opened.file.error().number;
        if (number == ENOENT || number == ENOTDIR)
            return conclude(std::move(file), cost, missing(opened.file.error()), m_inPlace, 0);
        return conclude(std::move(file), cost, failure(0, opened.file.error()), m_inPlace, 0);
    }
    auto& source = **opened.file;
    const platform::FileStamp stamp = source.stamp();
    if (stamp.size != file.size || (file.modified && *file.modified != stamp.modified))
        return conclude(std::move(file), cost, endedAs(FileStatus::Changed, stamp), m_inPlace, 0);

    Piece* piece = m_ring.emptyPiece();
    if (stamp.size <= kHashedInPlace) {
        m_inPlace.reset();
        const ReadEnd end = readWhole(source, piece, [&](Piece* full) {
            m_inPlace.update(full->bytes());
            full->length = 0;
            return full;
        });
        m_inPlace.update(piece->bytes());
        m_ring.giveBack(piece);
        return conclude(std::move(file), cost, end, m_inPlace, 0);
    }
    // The hasher takes the file with its first piece.
    piece->startsFile = std::move(file);
    piece->heldCost = cost;
    piece->endsFile = readWhole(source, piece, [&](Piece* full) {
        m_ring.pass(full);
        return m_ring.emptyPiece();
    });
    m_ring.pass(piece);
}

// Exactly the size the file had when it was opened is read: a file that grows or shrinks
// meanwhile shows it in its stamp or by ending early. A piece that comes short is handed on as it
// is, and the next read tells whether the file ended or a bad place begins.
ReadEnd ReadingLane::readWhole(
    platform::ISequentialFile& source, Piece*& piece, const std::function<Piece*(Piece* full)>& handOn)
{
    const platform::FileStamp& stamp = source.stamp();
    for (std::uint64_t offset = 0; offset < stamp.size;) {
        if (m_run.stopped())
            return abandoned();
        if (piece->length > 0)
            piece = handOn(piece);
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(m_ring.bufferSize(), stamp.size - offset));
        const auto got = source.read({ piece->buffer.get(), wanted });
        if (!got)
            return failure(offset, got.error());
        if (*got == 0)
            return endedAs(FileStatus::Changed, stamp);
        m_run.medium.succeeded();
        piece->length = *got;
        offset += *got;
    }
    const auto now = source.currentStamp();
    if (!now)
        return failure(stamp.size, now.error());
    return endedAs(sameVersion(stamp, *now) ? FileStatus::Digested : FileStatus::Changed, stamp);
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

void ReadingLane::conclude(FileToDigest file, std::size_t heldCost, ReadEnd end, Hasher& hasher, std::uint64_t counted)
{
    if (!end.abandoned) {
        FileDigest outcome;
        outcome.file = std::move(file);
        outcome.status = end.status;
        outcome.stamp = end.stamp;
        outcome.errorOffset = end.errorOffset;
        outcome.error = std::move(end.error);
        if (end.status == FileStatus::Digested)
            outcome.digest = hasher.finish();
        // A file counts for the size it was given with, whatever was read of it; unsigned
        // arithmetic takes back what was counted beyond it.
        m_run.bytesDone.fetch_add(outcome.file.size - counted, std::memory_order_relaxed);
        m_run.filesDone.fetch_add(1, std::memory_order_relaxed);
        m_run.report(std::move(outcome));
    }
    m_run.pending.release(heldCost);
}

void ReadingLane::hashFiles()
{
    Hasher& hasher = m_piecesHasher;
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
        if (piece->endsFile)
            conclude(std::move(*file), heldCost, std::move(*piece->endsFile), hasher, counted);
        m_ring.giveBack(piece);
    }
}

} // namespace mellowby::digest
