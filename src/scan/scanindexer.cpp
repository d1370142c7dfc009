#include "scan/scanindexer.h"

namespace mellowby::scan {

ScanIndexer::ScanIndexer(std::size_t waitingBatches, std::size_t batchBytes)
    : m_work([this](std::string_view batch) { apply(batch); }, waitingBatches, batchBytes)
{
}

void ScanIndexer::beginDisk(std::string_view title, std::string_view label)
{
    m_work.put(static_cast<char>(Kind::Disk));
    m_work.putText(title);
    m_work.putText(label);
    m_work.callWritten();
}

void ScanIndexer::enterDirectory(std::string_view title)
{
    m_work.put(static_cast<char>(Kind::Enter));
    m_work.putText(title);
    m_work.callWritten();
}

void ScanIndexer::leaveDirectory()
{
    m_work.put(static_cast<char>(Kind::Leave));
    m_work.callWritten();
}

void ScanIndexer::addFile(
    std::string_view name, std::string_view size, std::string_view date, std::optional<names::SizeAndTime> facts)
{
    m_work.put(static_cast<char>(facts ? Kind::FileWithFacts : Kind::File));
    m_work.putText(name);
    m_work.putText(size);
    m_work.putText(date);
    if (facts)
        m_work.put(*facts);
    m_work.callWritten();
}

void ScanIndexer::keepFacts()
{
    m_work.put(static_cast<char>(Kind::KeepFacts));
    m_work.callWritten();
}

void ScanIndexer::finishWith(std::function<void(names::NamesIndexBuilder&)> task)
{
    m_work.finishWith([this, task = std::move(task)] { task(m_builder); });
}

void ScanIndexer::wait()
{
    m_work.wait();
}

void ScanIndexer::apply(std::string_view batch)
{
    BatchReader calls(batch);
    while (!calls.atEnd()) {
        const auto kind = static_cast<Kind>(calls.byte());
        switch (kind) {
        case Kind::Disk: {
            const std::string_view title = calls.text();
            m_builder.beginDisk(title, calls.text());
            break;
        }
        case Kind::Enter:
            m_builder.enterDirectory(calls.text());
            break;
        case Kind::Leave:
            m_builder.leaveDirectory();
            break;
        case Kind::File:
        case Kind::FileWithFacts: {
            const std::string_view name = calls.text();
            const std::string_view size = calls.text();
            const std::string_view date = calls.text();
            m_builder.addFile(name, size, date,
                kind == Kind::FileWithFacts ? std::optional(calls.value<names::SizeAndTime>()) : std::nullopt);
            break;
        }
        case Kind::KeepFacts:
            m_builder.keepFacts();
            break;
        }
    }
}

} // namespace mellowby::scan
