#include "scan/scandatabase.h"

#include "platform/directorylister.h"

namespace mellowby::scan {

namespace {

using catalogdb::schema::DateFrom;
using catalogdb::schema::Kind;

constexpr std::uint8_t kHasSize = 1;
constexpr std::uint8_t kHasModified = 2;
constexpr std::uint8_t kHasBorn = 4;

Kind fileKindOf(platform::EntryKind kind)
{
    switch (kind) {
    case platform::EntryKind::File:
        return Kind::File;
    case platform::EntryKind::SymbolicLink:
        return Kind::SymbolicLink;
    case platform::EntryKind::Other:
        return Kind::Other;
    case platform::EntryKind::Directory: // a File element is never one
    case platform::EntryKind::Unknown:
        break;
    }
    return Kind::Unknown;
}

DateFrom dateFromOf(platform::CreationTimeSource source)
{
    switch (source) {
    case platform::CreationTimeSource::Birth:
        return DateFrom::Birth;
    case platform::CreationTimeSource::Modification:
        return DateFrom::Modification;
    case platform::CreationTimeSource::None:
        break;
    }
    return DateFrom::None;
}

} // namespace

ScanDatabase::ScanDatabase(platform::IReplacement& file, std::size_t waitingBatches, std::size_t batchBytes)
    : m_writer(std::make_unique<catalogdb::DatabaseWriter>(file))
    , m_work([this](std::string_view batch) { apply(batch); }, waitingBatches, batchBytes)
{
}

void ScanDatabase::beginDisk(std::string_view title)
{
    const std::lock_guard lock(m_calls);
    ++m_entries;
    m_work.put(static_cast<char>(Call::Disk));
    m_work.putText(title);
    m_work.callWritten();
}

void ScanDatabase::openFolder(const platform::DirEntry& entry)
{
    putEntry(Call::OpenFolder, entry, false);
}

void ScanDatabase::closeFolder()
{
    const std::lock_guard lock(m_calls);
    m_work.put(static_cast<char>(Call::CloseFolder));
    m_work.callWritten();
}

std::int64_t ScanDatabase::addFile(const platform::DirEntry& entry, bool sizeWritten)
{
    return putEntry(Call::File, entry, sizeWritten);
}

void ScanDatabase::addDigest(std::int64_t entry, std::string_view algorithm, std::string_view digest)
{
    const std::lock_guard lock(m_calls);
    m_work.put(static_cast<char>(Call::Digest));
    m_work.put(entry);
    m_work.putText(algorithm);
    m_work.putText(digest);
    m_work.callWritten();
}

std::int64_t ScanDatabase::putEntry(Call call, const platform::DirEntry& entry, bool sizeWritten)
{
    // An entry whose details could not be read has no size, whatever the listing put there.
    const bool hasSize = !entry.detailsError;
    const Numbers numbers { entry.size, entry.modifiedNs.value_or(0), entry.bornNs.value_or(0),
        static_cast<std::uint8_t>(
            (hasSize ? kHasSize : 0) | (entry.modifiedNs ? kHasModified : 0) | (entry.bornNs ? kHasBorn : 0)),
        static_cast<std::uint8_t>(call == Call::File ? fileKindOf(entry.kind) : Kind::Folder),
        static_cast<std::uint8_t>(dateFromOf(entry.creationTimeSource())), static_cast<std::uint8_t>(sizeWritten) };
    const std::lock_guard lock(m_calls);
    m_work.put(static_cast<char>(call));
    m_work.putText(entry.name);
    m_work.put(numbers);
    m_work.callWritten();
    return m_entries++;
}

bool ScanDatabase::failed() const
{
    return m_work.failed();
}

void ScanDatabase::finishWith(
    catalogdb::ScanRecord scan, std::uint64_t catalogSize, const catalogdb::Hash128& catalogHash)
{
    const std::lock_guard lock(m_calls);
    m_work.finishWith(
        [this, scan = std::move(scan), catalogSize, catalogHash] { m_writer->finish(scan, catalogSize, catalogHash); });
}

void ScanDatabase::wait()
{
    m_work.wait();
}

void ScanDatabase::apply(std::string_view batch)
{
    BatchReader calls(batch);
    while (!calls.atEnd()) {
        const auto call = static_cast<Call>(calls.byte());
        if (call == Call::Disk) {
            m_writer->beginDisk(calls.text());
            continue;
        }
        if (call == Call::CloseFolder) {
            m_writer->closeFolder();
            continue;
        }
        if (call == Call::Digest) {
            const auto entry = calls.value<std::int64_t>();
            const std::string_view algorithm = calls.text();
            m_writer->addDigest(entry, algorithm, calls.text());
            continue;
        }
        const std::string_view name = calls.text();
        const auto numbers = calls.value<Numbers>();
        const catalogdb::EntryFacts facts { name, static_cast<Kind>(numbers.kind),
            (numbers.present & kHasSize) != 0 ? std::optional(numbers.size) : std::nullopt,
            (numbers.present & kHasModified) != 0 ? std::optional(numbers.modifiedNs) : std::nullopt,
            (numbers.present & kHasBorn) != 0 ? std::optional(numbers.bornNs) : std::nullopt,
            static_cast<DateFrom>(numbers.dateFrom), numbers.sizeWritten != 0 };
        if (call == Call::OpenFolder)
            m_writer->openFolder(facts);
        else
            m_writer->addFile(facts);
    }
}

} // namespace mellowby::scan
