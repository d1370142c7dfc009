#include "scan/scanindexer.h"

#include <cstring>

namespace mellowby::scan {

namespace {

// Entries are handed over in batches of about this many bytes.
constexpr std::size_t kBatchBytes = 256 * 1024;

std::string_view takeText(std::string_view& batch)
{
    std::uint32_t length = 0;
    std::memcpy(&length, batch.data(), sizeof length);
    const std::string_view text = batch.substr(sizeof length, length);
    batch.remove_prefix(sizeof length + length);
    return text;
}

} // namespace

ScanIndexer::ScanIndexer()
    : m_thread([this] { collect(); })
{
    m_batch.reserve(kBatchBytes + 4096);
}

ScanIndexer::~ScanIndexer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
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
    if (m_batch.size() >= kBatchBytes)
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

void ScanIndexer::handOver()
{
    std::string next;
    {
        const std::lock_guard lock(m_mutex);
        m_full.push_back(std::move(m_batch));
        next = std::move(m_spare);
    }
    m_changed.notify_all();
    m_batch = std::move(next);
    m_batch.clear();
    if (m_batch.capacity() < kBatchBytes)
        m_batch.reserve(kBatchBytes + 4096);
}

names::NamesIndexBuilder& ScanIndexer::finish()
{
    finishWith({});
    wait();
    return m_builder;
}

void ScanIndexer::finishWith(std::function<void(names::NamesIndexBuilder&)> task)
{
    handOver();
    {
        const std::lock_guard lock(m_mutex);
        m_task = std::move(task);
        m_done = true;
    }
    m_changed.notify_all();
}

void ScanIndexer::wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_collected; });
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void ScanIndexer::collect()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_done || !m_full.empty(); });
        if (m_stop)
            return;
        if (m_full.empty()) {
            // Everything handed over is in: the task runs, then finish() may take the builder.
            if (m_task && !m_failure) {
                lock.unlock();
                try {
                    m_task(m_builder);
                } catch (...) {
                    m_failure = std::current_exception();
                }
                lock.lock();
            }
            m_collected = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_stop; });
            return;
        }
        std::string batch = std::move(m_full.front());
        m_full.pop_front();
        lock.unlock();
        try {
            if (!m_failure)
                apply(batch);
        } catch (...) {
            m_failure = std::current_exception();
        }
        batch.clear();
        lock.lock();
        m_spare = std::move(batch);
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
