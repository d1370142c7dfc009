#include "scan/scandatabase.h"

#include "catalogdb/entryrow.h"

#include <chrono>
#include <future>

#include "platform/directorylister.h"

namespace mellowby::scan {

namespace {

using catalogdb::schema::DateFrom;
using catalogdb::schema::Kind;

constexpr std::uint8_t kHasSize = 1;
constexpr std::uint8_t kHasModified = 2;
constexpr std::uint8_t kHasBorn = 4;
constexpr std::uint8_t kHasPosition = 8;
constexpr std::uint8_t kHasParent = 16;

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

void ScanDatabase::addArchive(std::int64_t entry, catalogdb::schema::ArchiveState status, std::string_view format,
    std::span<const ListedMember> members)
{
    const std::lock_guard lock(m_calls);
    m_work.put(static_cast<char>(Call::Archive));
    m_work.put(entry);
    m_work.put(static_cast<std::int64_t>(status));
    m_work.putText(format);
    m_work.put(static_cast<std::uint64_t>(members.size()));
    for (const ListedMember& member : members) {
        const MemberNumbers numbers { member.size.value_or(0), member.modifiedNs.value_or(0),
            member.position.value_or(0), member.parent.value_or(0),
            static_cast<std::uint8_t>((member.size ? kHasSize : 0) | (member.modifiedNs ? kHasModified : 0)
                | (member.position ? kHasPosition : 0) | (member.parent ? kHasParent : 0)),
            static_cast<std::uint8_t>(member.kind), static_cast<std::uint8_t>(member.encrypted) };
        m_work.put(numbers);
        m_work.putText(member.name);
        m_work.putText(member.path);
    }
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

void ScanDatabase::copyDigests(
    std::shared_ptr<const platform::IReadableFile> earlier, std::int64_t count, const catalogdb::Hash128& hash)
{
    const std::lock_guard lock(m_calls);
    m_earlier = std::move(earlier);
    m_earlierCount = count;
    m_earlierHash = hash;
    m_work.put(static_cast<char>(Call::CopyDigests));
    m_work.callWritten();
}

void ScanDatabase::dropCopiedDigests()
{
    const std::lock_guard lock(m_calls);
    m_work.put(static_cast<char>(Call::DropDigests));
    m_work.callWritten();
}

std::optional<catalogdb::EntriesWritten> ScanDatabase::entriesWritten()
{
    std::future<catalogdb::EntriesWritten> written;
    {
        const std::lock_guard lock(m_calls);
        m_entriesTold = {};
        written = m_entriesTold.get_future();
        m_work.put(static_cast<char>(Call::TellEntries));
        m_work.handOverNow();
    }
    // A writer that failed carries out no call after: then none is told.
    constexpr std::chrono::milliseconds kPoll { 2 };
    while (written.wait_for(kPoll) != std::future_status::ready) {
        if (m_work.failed())
            return std::nullopt;
    }
    return written.get();
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
        if (call == Call::Archive) {
            applyArchive(calls);
            continue;
        }
        if (call == Call::CopyDigests) {
            m_writer->copyDigests(m_earlier, m_earlierCount, m_earlierHash);
            continue;
        }
        if (call == Call::DropDigests) {
            m_writer->dropCopiedDigests();
            continue;
        }
        if (call == Call::TellEntries) {
            m_entriesTold.set_value(m_writer->entriesWritten());
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

void ScanDatabase::applyArchive(BatchReader& calls)
{
    const auto entry = calls.value<std::int64_t>();
    const auto status = calls.value<std::int64_t>();
    const std::string_view format = calls.text();
    const auto count = calls.value<std::uint64_t>();
    m_writer->addArchive({ entry, status, format, static_cast<std::int64_t>(count) });
    // The archive's rows are numbered on from here, so a folder's place among them gives its row.
    const std::int64_t first = m_writer->nextMember();
    auto present = [](std::uint8_t bits, std::uint8_t bit, std::int64_t value) {
        return (bits & bit) != 0 ? std::optional(value) : std::nullopt;
    };
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto numbers = calls.value<MemberNumbers>();
        const std::string_view name = calls.text();
        const std::string_view path = calls.text();
        m_writer->addMember({ 0, entry, present(numbers.present, kHasParent, first + numbers.parent), numbers.kind,
            name, present(numbers.present, kHasSize, static_cast<std::int64_t>(numbers.size)),
            present(numbers.present, kHasModified, numbers.modifiedNs),
            present(numbers.present, kHasPosition, static_cast<std::int64_t>(numbers.position)), path,
            numbers.encrypted != 0 });
    }
}

} // namespace mellowby::scan
