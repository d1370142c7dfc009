#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>

#include "platform/handoffqueue.h"

namespace mellowby::scan {

// Calls the walk makes, carried out on a thread of their own. The walk spends its time waiting for
// the system on every entry; writing each call into a batch of bytes and handing the batches over
// keeps what the calls do from adding its own time to that, on a machine with a second core to
// spare. The walk waits when the work falls more than a few batches behind, so memory stays
// bounded on a machine without one.
class BatchedWork {
public:
    // apply carries out the calls written into a batch, on the work's thread.
    BatchedWork(std::function<void(std::string_view)> apply, std::size_t waitingBatches, std::size_t batchBytes);
    // Stops the work's thread, whatever it was doing.
    ~BatchedWork();
    BatchedWork(const BatchedWork&) = delete;
    BatchedWork& operator=(const BatchedWork&) = delete;

    // Writing one call: its parts, then callWritten().
    void put(char byte) { m_batch += byte; }
    void putText(std::string_view text)
    {
        put(static_cast<std::uint32_t>(text.size()));
        m_batch += text;
    }
    template <typename Value> void put(const Value& value)
    {
        static_assert(std::is_trivially_copyable_v<Value>);
        m_batch.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void callWritten()
    {
        if (m_batch.size() >= m_batchBytes)
            handOver();
    }
    // Hands the calls written over now, for the one waiting on them.
    void handOverNow() { handOver(); }

    // Runs task on the work's thread once every call handed over is carried out, so that it goes
    // on while the walk's own thread does something else; wait() waits for it (and passes on what
    // it threw, or what carrying out the calls threw).
    void finishWith(std::function<void()> task);
    void wait();
    // Whether the work has failed already: what is handed over from now on is dropped.
    bool failed() const { return m_failed; }

private:
    void handOver();
    void work();

    const std::function<void(std::string_view)> m_apply;
    const std::size_t m_batchBytes;
    std::string m_batch; // filled by the walk
    platform::HandoffQueue<std::string> m_queue;
    std::function<void()> m_task; // set before the queue is finished
    std::exception_ptr m_failure; // the work's thread's, read once it has ended
    std::atomic<bool> m_failed = false;
    std::thread m_thread; // last: everything it uses exists before it starts
};

// The parts of the calls of a batch, read in the order they were put.
class BatchReader {
public:
    explicit BatchReader(std::string_view batch)
        : m_rest(batch)
    {
    }
    bool atEnd() const { return m_rest.empty(); }
    char byte()
    {
        const char value = m_rest.front();
        m_rest.remove_prefix(1);
        return value;
    }
    template <typename Value> Value value()
    {
        Value value;
        std::memcpy(&value, m_rest.data(), sizeof value);
        m_rest.remove_prefix(sizeof value);
        return value;
    }
    std::string_view text()
    {
        const auto length = value<std::uint32_t>();
        const std::string_view text = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return text;
    }

private:
    std::string_view m_rest;
};

} // namespace mellowby::scan
