#include "scan/backgroundscan.h"

#include <utility>

namespace mellowby::scan {

BackgroundScan::BackgroundScan(
    const ScanContext& context, std::string path, std::string name, std::function<void()> onFinished)
    : m_settings(context.settings)
    , m_context(rebound(context, m_settings, context.lister, this))
    , m_path(std::move(path))
    , m_name(std::move(name))
    , m_onFinished(std::move(onFinished))
    , m_thread([this] { run(); })
{
}

BackgroundScan::~BackgroundScan()
{
    requestStop();
    m_thread.join();
}

ScanProgress BackgroundScan::progress() const
{
    ScanProgress snapshot;
    snapshot.directories = m_directories.load(std::memory_order_relaxed);
    snapshot.files = m_files.load(std::memory_order_relaxed);
    snapshot.bytes = m_bytes.load(std::memory_order_relaxed);
    const std::lock_guard lock(m_folderMutex);
    snapshot.currentDirectory = m_currentDirectory;
    snapshot.digests = m_digests;
    return snapshot;
}

void BackgroundScan::requestStop()
{
    m_stop.store(true, std::memory_order_relaxed);
}

bool BackgroundScan::stopRequested()
{
    return m_stop.load(std::memory_order_relaxed);
}

bool BackgroundScan::finished() const
{
    return m_finished.load(std::memory_order_acquire);
}

bool BackgroundScan::waitFor(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_doneMutex);
    return m_done.wait_for(lock, timeout, [this] { return finished(); });
}

const BackgroundScan::Result& BackgroundScan::result() const
{
    return *m_result;
}

void BackgroundScan::onProgress(const ScanProgress& progress)
{
    m_directories.store(progress.directories, std::memory_order_relaxed);
    m_files.store(progress.files, std::memory_order_relaxed);
    m_bytes.store(progress.bytes, std::memory_order_relaxed);
    const std::lock_guard lock(m_folderMutex);
    // Assigning keeps the buffer, so a walk allocates here only when a path outgrows it.
    m_currentDirectory = progress.currentDirectory;
    m_digests = progress.digests;
}

void BackgroundScan::run()
{
    // Nothing may leave the thread: an exception escaping it would end the program.
    Result result = std::unexpected(ScanFailure::Failed);
    try {
        result = genXml(m_context, m_path, m_name);
    } catch (...) {
    }
    if (result)
        onProgress(result->totals);
    {
        const std::lock_guard lock(m_doneMutex);
        m_result = std::move(result);
        m_finished.store(true, std::memory_order_release);
    }
    m_done.notify_all();
    if (m_onFinished) {
        try {
            m_onFinished();
        } catch (...) {
        }
    }
}

} // namespace mellowby::scan
