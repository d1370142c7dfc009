#include "digest/pendingfiles.h"

#include <algorithm>

namespace mellowby::digest {

bool PendingFiles::add(FileToDigest file)
{
    const std::size_t cost = sizeof(HeldFile) + file.path.capacity();
    std::unique_lock lock(m_mutex);
    // A file bigger than the bound on its own still goes in once nothing else is held.
    m_changed.wait(lock, [&] { return m_closed || m_held == 0 || m_held + cost <= m_byteLimit; });
    if (m_closed)
        return false;
    m_held += cost;
    m_memory.add(cost);
    m_files.push_back({ .file = std::move(file), .cost = cost, .given = m_given++ });
    m_changed.notify_all();
    return true;
}

void PendingFiles::finishAdding()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_changed.notify_all();
}

std::vector<HeldFile> PendingFiles::take(std::size_t most)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_closed || m_finished || !m_files.empty(); });
    if (m_closed)
        return {};
    // One at a time, so that the queue gives back its memory as the batch takes it up.
    std::vector<HeldFile> taken;
    taken.reserve(std::min(most, m_files.size()));
    while (taken.size() < most && !m_files.empty()) {
        taken.push_back(std::move(m_files.front()));
        m_files.pop_front();
    }
    return taken;
}

void PendingFiles::release(std::size_t cost)
{
    std::lock_guard lock(m_mutex);
    m_held -= cost;
    m_memory.remove(cost);
    m_changed.notify_all();
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
    m_changed.notify_all();
}

} // namespace mellowby::digest
