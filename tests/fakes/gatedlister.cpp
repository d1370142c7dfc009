#include "fakes/gatedlister.h"

#include <chrono>

namespace mellowby::fakes {

namespace {

constexpr auto kLongestWait = std::chrono::seconds(10);

} // namespace

void GatedLister::waitUntilHeld()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, kLongestWait, [this] { return m_held.load(); });
}

void GatedLister::release()
{
    {
        const std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_changed.notify_all();
}

std::expected<void, platform::Error> GatedLister::listPath(
    const std::string& path, std::vector<platform::DirEntry>& out)
{
    if (path == m_holdAt) {
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_changed.notify_all();
        m_changed.wait_for(lock, kLongestWait, [this] { return m_released; });
    }
    return tree.listPath(path, out);
}

} // namespace mellowby::fakes
