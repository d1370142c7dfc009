#include "scan/batchedwork.h"

namespace mellowby::scan {

BatchedWork::BatchedWork(
    std::function<void(std::string_view)> apply, std::size_t waitingBatches, std::size_t batchBytes)
    : m_apply(std::move(apply))
    , m_batchBytes(batchBytes)
    , m_queue(waitingBatches)
    , m_thread([this] { work(); })
{
    m_batch.reserve(m_batchBytes + 4096);
}

BatchedWork::~BatchedWork()
{
    m_queue.stop();
    if (m_thread.joinable())
        m_thread.join();
}

// Waits while the work is too far behind. Once it has failed, what is handed over is dropped:
// wait() tells of the failure.
void BatchedWork::handOver()
{
    (void)m_queue.push(std::move(m_batch));
    m_batch = m_queue.takeBack().value_or(std::string());
    m_batch.clear();
    if (m_batch.capacity() < m_batchBytes)
        m_batch.reserve(m_batchBytes + 4096);
}

void BatchedWork::finishWith(std::function<void()> task)
{
    handOver();
    m_task = std::move(task);
    m_queue.finish();
}

void BatchedWork::wait()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void BatchedWork::work()
{
    try {
        while (auto batch = m_queue.pop()) {
            m_apply(*batch);
            batch->clear();
            m_queue.giveBack(std::move(*batch));
        }
        // Every call handed over is carried out, unless the work is being dropped.
        if (m_task && !m_queue.stopped())
            m_task();
    } catch (...) {
        m_failure = std::current_exception();
        m_failed = true;
        m_queue.stop();
    }
}

} // namespace mellowby::scan
