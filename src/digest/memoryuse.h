#pragma once

#include <atomic>
#include <cstddef>

namespace mellowby::digest {

// The bytes a run holds (buffers, files waiting) and the most it ever held, which tests hold
// against the run's limit.
class MemoryUse {
public:
    void add(std::size_t bytes)
    {
        const std::size_t now = m_current.fetch_add(bytes) + bytes;
        std::size_t peak = m_peak.load();
        while (now > peak && !m_peak.compare_exchange_weak(peak, now)) { }
    }
    void remove(std::size_t bytes) { m_current.fetch_sub(bytes); }
    std::size_t current() const { return m_current.load(); }
    std::size_t peak() const { return m_peak.load(); }

private:
    std::atomic<std::size_t> m_current = 0;
    std::atomic<std::size_t> m_peak = 0;
};

} // namespace mellowby::digest
