#include "scan/scanindexer.h"

#include <cstdint>
#include <cstring>

namespace mellowby::scan {

namespace {

std::string_view takeText(std::string_view& batch)
{
    std::uint32_t length = 0;
    std::memcpy(&length, batch.data(), sizeof length);
    const std::string_view text = batch.substr(sizeof length, length);
    batch.remove_prefix(sizeof length + length);
    return text;
}

} // namespace

ScanIndexer::ScanIndexer(std::size_t waitingBatches, std::size_t batchBytes)
    : m_batchBytes(batchBytes)
    , m_queue(waitingBatches)
    , m_thread([this] { collect(); })
{
    m_batch.reserve(m_batchBytes + 4096);
}

ScanIndexer::~ScanIndexer()
{
    m_queue.stop();
    if (m_thread.joinable())
        m_thread.join();
}

void ScanIndexer::put(Kind kind, std::initializer_list<std::string_view> texts)
{
    m_batch += static_cast<char>(kind);
    for (const std::string_view text : texts) {
        const auto length = static_cast<std::uint32_t>(text.size());
        m_batch.append(reinterpret_cast<const char*>(&length), sizeof length);
        m_batch += text;
    }
    if (m_batch.size() >= m_batchBytes)
        handOver();
}

void ScanIndexer::beginDisk(std::string_view title, std::string_view label)
{
    put(Kind::Disk, { title, label });
}

void ScanIndexer::enterDirectory(std::string_view title)
{
    put(Kind::Enter, { title });
}

void ScanIndexer::leaveDirectory()
{
    put(Kind::Leave, {});
}

void ScanIndexer::addFile(std::string_view name, std::string_view size, std::string_view date)
{
    put(Kind::File, { name, size, date });
}

// Waits while the collecting is too far behind. Once it has failed, what is handed over is
// dropped: wait() tells of the failure.
void ScanIndexer::handOver()
{
    (void)m_queue.push(std::move(m_batch));
    m_batch = m_queue.takeBack().value_or(std::string());
    m_batch.clear();
    if (m_batch.capacity() < m_batchBytes)
        m_batch.reserve(m_batchBytes + 4096);
}

void ScanIndexer::finishWith(std::function<void(names::NamesIndexBuilder&)> task)
{
    handOver();
    m_task = std::move(task);
    m_queue.finish();
}

void ScanIndexer::wait()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void ScanIndexer::collect()
{
    try {
        while (auto batch = m_queue.pop()) {
            apply(*batch);
            batch->clear();
            m_queue.giveBack(std::move(*batch));
        }
        // Everything handed over is in, unless the indexer is being dropped.
        if (m_task && !m_queue.stopped())
            m_task(m_builder);
    } catch (...) {
        m_failure = std::current_exception();
        m_queue.stop();
    }
}

void ScanIndexer::apply(std::string_view batch)
{
    while (!batch.empty()) {
        const auto kind = static_cast<Kind>(batch.front());
        batch.remove_prefix(1);
        switch (kind) {
        case Kind::Disk: {
            const std::string_view title = takeText(batch);
            m_builder.beginDisk(title, takeText(batch));
            break;
        }
        case Kind::Enter:
            m_builder.enterDirectory(takeText(batch));
            break;
        case Kind::Leave:
            m_builder.leaveDirectory();
            break;
        case Kind::File: {
            const std::string_view name = takeText(batch);
            const std::string_view size = takeText(batch);
            m_builder.addFile(name, size, takeText(batch));
            break;
        }
        }
    }
}

} // namespace mellowby::scan
