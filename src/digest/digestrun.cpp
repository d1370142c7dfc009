#include "digest/digestrun.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "digest/readinglane.h"
#include "digest/readingplan.h"
#include "digest/runstate.h"

namespace mellowby::digest {

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

DigestRun::DigestRun(platform::IFileReading& files, DigestOptions options, FileDone fileDone)
    : m_options(options)
    , m_run(std::make_unique<RunState>(
          files, options.algorithm, pendingLimitFor(options.memoryLimit), std::move(fileDone)))
{
}

DigestRun::~DigestRun()
{
    m_run->stop();
    m_lanes.clear();
}

bool DigestRun::add(FileToDigest file)
{
    if (m_lanes.empty() && !m_run->stopped())
        startReading(file);
    // Counted before a reader can take it, so that what is done never passes what was given.
    const std::uint64_t size = file.size;
    m_run->filesGiven.fetch_add(1, std::memory_order_relaxed);
    m_run->bytesGiven.fetch_add(size, std::memory_order_relaxed);
    if (m_run->pending.add(std::move(file)))
        return true;
    m_run->filesGiven.fetch_sub(1, std::memory_order_relaxed);
    m_run->bytesGiven.fetch_sub(size, std::memory_order_relaxed);
    return false;
}

void DigestRun::startReading(const FileToDigest& first)
{
    const auto kind = m_options.storage.value_or(m_run->files.storageKindOf(first.path));
    const unsigned cores = m_options.cores.value_or(std::max(1U, std::thread::hardware_concurrency()));
    const ReadingPlan plan = planFor(kind, m_options.memoryLimit, cores);
    m_run->startedAt.store(Clock::now().time_since_epoch().count());
    for (std::size_t i = 0; i < plan.lanes; ++i)
        m_lanes.push_back(std::make_unique<ReadingLane>(*m_run, plan));
}

void DigestRun::finishAdding()
{
    m_run->allGiven.store(true);
    m_run->pending.finishAdding();
}

void DigestRun::stop()
{
    m_run->stop();
}

DigestProgress DigestRun::progress() const
{
    DigestProgress progress;
    progress.filesDone = m_run->filesDone.load(std::memory_order_relaxed);
    progress.filesTotal = m_run->filesGiven.load(std::memory_order_relaxed);
    progress.bytesDone = m_run->bytesDone.load(std::memory_order_relaxed);
    progress.bytesTotal = m_run->bytesGiven.load(std::memory_order_relaxed);
    progress.totalsFinal = m_run->allGiven.load();
    const auto started = m_run->startedAt.load();
    if (started == 0)
        return progress;
    const double seconds
        = std::chrono::duration<double>(Clock::now() - Clock::time_point(Clock::duration(started))).count();
    if (seconds > 0 && progress.bytesDone > 0)
        progress.bytesPerSecond = static_cast<double>(progress.bytesDone) / seconds;
    if (progress.totalsFinal && progress.bytesPerSecond > 0) {
        const auto bytesLeft
            = static_cast<double>(progress.bytesTotal - std::min(progress.bytesDone, progress.bytesTotal));
        progress.timeLeft
            = std::chrono::seconds(static_cast<long long>(std::ceil(bytesLeft / progress.bytesPerSecond)));
    }
    return progress;
}

bool DigestRun::finished() const
{
    if (m_run->stopped())
        return true;
    return m_run->allGiven.load()
        && m_run->filesDone.load(std::memory_order_relaxed) == m_run->filesGiven.load(std::memory_order_relaxed);
}

RunSummary DigestRun::waitTelling(
    const std::function<bool()>& stopRequested, const std::function<void(const DigestProgress&)>& progress)
{
    constexpr std::chrono::milliseconds kPollInterval { 5 };
    constexpr int kPollsPerProgress = 20;
    bool stopped = false;
    for (int polls = 0; !finished(); ++polls) {
        if (stopRequested && stopRequested()) {
            stop();
            stopped = true;
            break;
        }
        if (progress && polls % kPollsPerProgress == 0)
            progress(this->progress());
        std::this_thread::sleep_for(kPollInterval);
    }
    RunSummary summary = wait();
    // The user's stop is what ended it, whatever else went wrong meanwhile.
    if (stopped)
        summary.end = RunEnd::Stopped;
    return summary;
}

RunSummary DigestRun::wait()
{
    m_lanes.clear();
    RunSummary summary;
    if (const auto gone = m_run->medium.gone()) {
        summary.end = RunEnd::MediumGone;
        summary.mediumError = *gone;
    } else if (m_run->stopped()) {
        summary.end = RunEnd::Stopped;
    }
    summary.peakMemory = m_run->memory.peak();
    return summary;
}

} // namespace mellowby::digest
