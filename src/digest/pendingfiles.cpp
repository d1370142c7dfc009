#include "digest/pendingfiles.h"

#include <algorithm>
#include <optional>

namespace mellowby::digest {

bool PendingFiles::add(FileToDigest file)
{
    const std::size_t cost = sizeof(HeldFile) + file.path.capacity();
    std::unique_lock lock(m_mutex);
    // A file bigger than the bound on its own still goes in once nothing else is held.
    const auto roomFor = [&] { return m_closed || m_held == 0 || m_held + cost <= m_byteLimit; };
    if (!roomFor()) {
        // Readers waiting for more must not wait for a giver that waits for them.
        m_giverWaiting = true;
        m_filesCame.notify_all();
        m_roomMade.wait(lock, roomFor);
        m_giverWaiting = false;
    }
    if (m_closed)
        return false;
    m_held += cost;
    m_memory.add(cost);
    m_waitingBytes += file.size;
    m_files.push_back({ .file = std::move(file), .cost = cost, .given = m_given++ });
    // The first file starts a waiting reader's patience; after it only enough of them wake it.
    if (m_takersWaiting > 0 && (m_files.size() == 1 || makes(m_enough)))
        m_filesCame.notify_all();
    return true;
}

void PendingFiles::finishAdding()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_filesCame.notify_all();
}

std::vector<HeldFile> PendingFiles::take(BatchSize enough, BatchSize most)
{
    std::unique_lock lock(m_mutex);
    ++m_takersWaiting;
    m_enough = enough;
    std::optional<std::chrono::steady_clock::time_point> patienceEnds;
    const auto ready = [&] {
        if (m_closed || m_finished)
            return true;
        return !m_files.empty() && (m_giverWaiting || makes(enough));
    };
    while (!ready()) {
        if (m_files.empty()) {
            patienceEnds.reset();
            m_filesCame.wait(lock);
            continue;
        }
        if (!patienceEnds)
            patienceEnds = std::chrono::steady_clock::now() + kPatience;
        if (m_filesCame.wait_until(lock, *patienceEnds) == std::cv_status::timeout)
            break;
    }
    --m_takersWaiting;
    if (m_closed)
        return {};
    // One at a time, so that the queue gives back its memory as the batch takes it up.
    std::vector<HeldFile> taken;
    std::uint64_t bytes = 0;
    while (!m_files.empty() && taken.size() < most.files && (taken.empty() || bytes < most.bytes)) {
        bytes += m_files.front().file.size;
        taken.push_back(std::move(m_files.front()));
        m_files.pop_front();
    }
    m_waitingBytes -= bytes;
    return taken;
}

void PendingFiles::release(std::size_t cost)
{
    std::lock_guard lock(m_mutex);
    m_held -= cost;
    m_memory.remove(cost);
    if (m_giverWaiting)
        m_roomMade.notify_all();
}

void PendingFiles::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    // Files taken are released by whoever took them.
    std::size_t waiting = 0;
    for (const auto& held : m_files)
        waiting += held.cost;
    m_held -= waiting;
    m_memory.remove(waiting);
    m_files.clear();
    m_waitingBytes = 0;
    m_filesCame.notify_all();
    m_roomMade.notify_all();
}

} // namespace mellowby::digest
