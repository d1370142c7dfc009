#include "scan/scanarchives.h"

#include <chrono>
#include <exception>

#include "archive/archivelister.h"
#include "archive/archivenames.h"
#include "archive/archivetexts.h"
#include "platform/filesystem.h"
#include "platform/paths.h"
#include "scan/scandatabase.h"

namespace mellowby::scan {

namespace {

using catalogdb::schema::ArchiveState;
using catalogdb::schema::Kind;

// How many files the walk hands over at a time, so that the handing over costs nothing per file,
// and how many it gathers at most, looking at them itself, while the worker is behind.
constexpr std::size_t kFilesAtATime = 256;
constexpr std::size_t kMostFilesAtATime = 8 * kFilesAtATime;
constexpr std::size_t kWaitingBatches = 8;
constexpr std::chrono::milliseconds kPollInterval { 100 };

ArchiveState stateOf(archive::ArchiveStatus status)
{
    switch (status) {
    case archive::ArchiveStatus::Intact:
        return ArchiveState::Intact;
    case archive::ArchiveStatus::Encrypted:
        return ArchiveState::Encrypted;
    case archive::ArchiveStatus::NamesUnreadable:
        return ArchiveState::NamesUnreadable;
    case archive::ArchiveStatus::Damaged:
        return ArchiveState::Damaged;
    case archive::ArchiveStatus::OverLimit:
        return ArchiveState::OverLimit;
    }
    return ArchiveState::Damaged;
}

std::optional<std::int64_t> nanosecondsOf(const std::optional<archive::MemberTime>& time)
{
    if (!time)
        return std::nullopt;
    return time->seconds * 1'000'000'000 + time->nanoseconds;
}

// The folder's place among the archive's rows; none for the top.
std::optional<std::uint32_t> rowOfFolder(std::uint32_t folder)
{
    return folder == archive::kTopFolder ? std::nullopt : std::optional(folder - 1);
}

// The rows of a listing: the folders of its tree but the top, parents first, each with the
// details of its own entry where it has one, then the files in the archive's order.
std::vector<ListedMember> rowsOf(const archive::ArchiveListing& listing)
{
    std::vector<ListedMember> rows;
    rows.reserve(listing.folders.size() + listing.members.size());
    for (std::size_t i = 1; i < listing.folders.size(); ++i) {
        const archive::TreeFolder& folder = listing.folders[i];
        ListedMember row;
        row.parent = rowOfFolder(folder.parent);
        row.kind = Kind::Folder;
        row.name = folder.name;
        if (folder.entry) {
            const archive::Member& entry = listing.members[*folder.entry];
            row.modifiedNs = nanosecondsOf(entry.modified);
            row.position = entry.index;
            row.path = entry.name;
            row.encrypted = entry.encrypted;
        }
        rows.push_back(row);
    }
    for (const archive::Member& member : listing.members) {
        if (member.isDirectory)
            continue; // its folder's row has it
        rows.push_back({ rowOfFolder(member.folder), Kind::File, member.leaf, member.size,
            nanosecondsOf(member.modified), member.index, member.name, member.encrypted });
    }
    return rows;
}

} // namespace

void ScanArchives::Batch::clear()
{
    folders.clear();
    files.clear();
    text.clear();
}

ScanArchives::ScanArchives(platform::IFileSystem& files, ScanDatabase& database, archive::ListingLimits limits)
    : m_files(files)
    , m_database(database)
    , m_limits(std::move(limits))
    , m_queue(kWaitingBatches)
    , m_thread([this] { work(); })
{
}

ScanArchives::~ScanArchives()
{
    m_stop = true;
    m_queue.stop();
    m_thread.join();
}

void ScanArchives::add(
    const std::string& folderPath, platform::FileId folderId, const platform::DirEntry& entry, std::int64_t row)
{
    // Nothing that small holds an archive's first header; a file not named as archives are is not
    // read at all.
    if (entry.size == 0 || !archive::namedLikeArchive(entry.name))
        return;
    if (m_walkStay == 0 || folderId != m_walkFolderId || folderPath != m_walkFolder) {
        m_walkFolder = folderPath;
        m_walkFolderId = folderId;
        ++m_walkStay;
    }
    if (m_batch.folders.empty() || m_batch.folders.back().stay != m_walkStay) {
        m_batch.folders.push_back({ m_batch.text.size(), folderPath.size(), folderId, m_walkStay });
        m_batch.text += folderPath;
    }
    m_batch.files.push_back(
        { m_batch.folders.size() - 1, m_batch.text.size(), entry.name.size(), entry.size, row, false, {} });
    m_batch.text += entry.name;
    // Ahead of the worker by as many files as may wait, the walk looks at the next ones itself
    // rather than wait for it; the worker still lists the archives among them, in their order.
    if (m_batch.files.size() > kFilesAtATime)
        lookAt(m_batch, m_batch.files.back());
    if (m_batch.files.size() % kFilesAtATime != 0)
        return;
    if (m_batch.files.size() < kMostFilesAtATime && m_queue.full())
        return;
    (void)m_queue.push(std::exchange(m_batch, m_queue.takeBack().value_or(Batch {})));
}

void ScanArchives::lookAt(const Batch& batch, Batch::File& file)
{
    file.sniffed = m_walkSniffer.sniff(batch.folderOf(file), batch.nameOf(file), file.size);
    file.looked = true;
}

void ScanArchives::work()
{
    try {
        while (auto batch = m_queue.pop()) {
            for (const Batch::File& file : batch->files) {
                if (m_stop)
                    break;
                const WalkedFolder folder = batch->folderOf(file);
                const std::string_view name = batch->nameOf(file);
                const archive::Sniffed sniffed = file.looked ? file.sniffed : m_sniffer.sniff(folder, name, file.size);
                if (sniffed.kind != archive::ArchiveKind::None)
                    list(folder, name, file.row, sniffed);
            }
            batch->clear();
            m_queue.giveBack(std::move(*batch));
        }
    } catch (const std::exception&) {
        // Only memory can run out here: the archives not listed stay plain files.
    }
    const std::lock_guard lock(m_doneMutex);
    m_done = true;
    m_doneChanged.notify_all();
}

void ScanArchives::list(const WalkedFolder& folder, std::string_view name, std::int64_t row, archive::Sniffed sniffed)
{
    const auto readable = m_sniffer.open(folder, name);
    if (!readable)
        return;
    const auto listing = archive::listArchive(*readable, sniffed, m_limits);
    if (!listing)
        return; // no archive after all (a bare .gz), or unreadable: a plain file
    const std::vector<ListedMember> rows = rowsOf(*listing);
    m_database.addArchive(row, stateOf(listing->status), listing->format, rows);
    ++m_totals.archives;
    m_totals.members += rows.size();
    const bool whole
        = listing->status == archive::ArchiveStatus::Intact || listing->status == archive::ArchiveStatus::Encrypted;
    if (!whole && m_totals.incomplete.size() < kNamedIncomplete) {
        m_totals.incomplete.push_back(
            platform::joinPath(folder.path, name) + "：" + std::string(archive::statusText(listing->status)));
    }
}

bool ScanArchives::finish(IScanObserver* observer, const ScanProgress& progress)
{
    if (!m_batch.files.empty())
        (void)m_queue.push(std::exchange(m_batch, {}));
    m_queue.finish();
    for (;;) {
        {
            std::unique_lock lock(m_doneMutex);
            if (m_doneChanged.wait_for(lock, kPollInterval, [this] { return m_done; }))
                return true;
        }
        if (observer != nullptr) {
            if (observer->stopRequested()) {
                m_stop = true;
                m_queue.stop();
                return false;
            }
            observer->onProgress(progress);
        }
    }
}

ArchiveTotals ScanArchives::totals() const
{
    // The worker is done: what it counted is settled.
    return m_totals;
}

} // namespace mellowby::scan
