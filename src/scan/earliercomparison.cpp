#include "scan/earliercomparison.h"

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"
#include "catalogdb/databasewriter.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/directorylister.h"
#include "platform/paths.h"
#include "scan/scandigests.h"

namespace mellowby::scan {

EarlierComparison::EarlierComparison(
    EarlierCatalog earlier, std::string root, ScanDigests* digests, std::size_t mostWaiting)
    : m_root(std::move(root))
    , m_digests(digests)
    , m_earlierCatalog(std::move(earlier))
    , m_stage(m_earlierCatalog.readsDigestsAlone() ? Stage::Deciding : Stage::Files)
    , m_mostWaiting(mostWaiting)
{
}

void EarlierComparison::add(const std::string& folder, const platform::DirEntry& entry, std::int64_t row)
{
    // As the database has it: an entry whose details could not be read has no size.
    const FileFacts facts { entry.detailsError ? std::nullopt : std::optional(entry.size), entry.modifiedNs, row,
        ScanDigests::digestible(entry) };
    if (!m_taken) {
        if (m_stage == Stage::Deciding && m_earlierCatalog.digestsReady())
            decide();
        if (m_stage == Stage::Files && m_earlierCatalog.ready())
            takeEarlier();
    }
    if (!m_taken) {
        wait(folder, entry, facts);
        return;
    }
    platform::joinPathInto(m_path, folder, entry.name);
    compare(m_path, facts);
}

void EarlierComparison::wait(const std::string& folder, const platform::DirEntry& entry, const FileFacts& facts)
{
    const std::string_view lastFolder(m_waitingText.data() + m_waitingFolderAt, m_waitingFolderLength);
    if (m_waiting.empty() || folder != lastFolder) {
        m_waitingFolderAt = m_waitingText.size();
        m_waitingFolderLength = static_cast<std::uint32_t>(folder.size());
        m_waitingText += folder;
    }
    m_waiting.push_back({ m_waitingFolderAt, m_waitingText.size(), m_waitingFolderLength,
        static_cast<std::uint32_t>(entry.name.size()), facts });
    m_waitingText += entry.name;
    if (facts.digestible)
        ++m_waitingDigestible;
    if (m_stage != Stage::Files && m_waiting.size() >= m_mostWaiting) {
        m_stage = Stage::Files;
        if (m_digests != nullptr)
            m_digests->dropCopied();
        m_earlierCatalog.readFiles();
    }
}

void EarlierComparison::decide()
{
    const EarlierCatalog::DigestsReading& earlier = m_earlierCatalog.digests();
    // Kept whole only as the digests this scan makes, or when it makes none.
    const bool keepable = earlier
        && (m_digests == nullptr || (earlier->catalog.digestCount > 0 && earlier->algorithm == m_digests->algorithm()));
    m_stage = keepable ? Stage::DigestsAlone : Stage::Files;
    if (!keepable)
        m_earlierCatalog.readFiles();
    // Copied beside the walk, rather than after it, and dropped again should the entries differ.
    else if (m_digests != nullptr)
        m_digests->copyAll(*earlier);
}

bool EarlierComparison::sameEntries(
    const std::function<std::optional<catalogdb::EntriesWritten>()>& entriesWritten) const
{
    const catalogdb::CatalogRecord& earlier = m_earlierCatalog.digests()->catalog;
    // The same entries have the same files to digest: the earlier catalog had a digest for each.
    if (m_digests != nullptr && m_waitingDigestible != static_cast<std::uint64_t>(earlier.digestCount))
        return false;
    const auto written = entriesWritten();
    return written && written->count == earlier.entryCount && written->hash == earlier.entriesHash;
}

void EarlierComparison::finishWalk(const std::function<std::optional<catalogdb::EntriesWritten>()>& entriesWritten)
{
    if (m_taken)
        return;
    if (m_stage == Stage::Deciding)
        decide();
    if (m_stage == Stage::DigestsAlone && sameEntries(entriesWritten)) {
        m_taken = true;
        m_keptWhole = true;
        m_compared = m_waiting.size();
        m_waiting = {};
        m_waitingText = {};
        if (m_digests != nullptr)
            m_digests->keepCopied();
        return;
    }
    if (m_digests != nullptr)
        m_digests->dropCopied();
    m_earlierCatalog.readFiles();
    takeEarlier();
}

void EarlierComparison::takeEarlier()
{
    m_taken = true;
    const auto files = m_earlierCatalog.files();
    m_unusable = !files.has_value();
    if (files) {
        m_earlier = *files;
        m_finder.emplace(m_earlier->files);
        // A scan of other digests than the earlier ones keeps none.
        m_sameAlgorithm = m_digests != nullptr && m_earlier->algorithm == m_digests->algorithm();
        m_changed.reserve(64);
    }
    for (const Waiting& file : m_waiting) {
        platform::joinPathInto(m_path, std::string_view(m_waitingText).substr(file.folderAt, file.folderLength),
            std::string_view(m_waitingText).substr(file.nameAt, file.nameLength));
        compare(m_path, file.facts);
    }
    m_waiting = {};
    m_waitingText = {};
}

std::string_view EarlierComparison::belowRoot(std::string_view path) const
{
    // Each name after a "/", also below a root that ends in one ("/").
    std::size_t at = std::min(m_root.size(), path.size());
    if (at > 0 && path[at - 1] == '/')
        --at;
    return path.substr(at);
}

void EarlierComparison::compare(std::string_view path, const FileFacts& file)
{
    if (m_unusable)
        return;
    ++m_compared;
    const std::string_view below = belowRoot(path);
    const catalogdb::CatalogFile* found = m_finder->take(below);
    auto changed = [&](ChangedFile::What what) {
        m_changed.push_back({ what, std::string(below), file.size, found ? found->size : std::nullopt,
            found != nullptr && found->modifiedNs != file.modifiedNs });
        m_changedRows.push_back(file.row);
    };
    const bool same = found != nullptr && found->size == file.size && found->modifiedNs == file.modifiedNs;
    if (found == nullptr)
        changed(ChangedFile::What::Added);
    else if (!same)
        changed(ChangedFile::What::Modified);
    else if (!found->digest.empty())
        m_digestsExpected.emplace_back(file.row, static_cast<std::size_t>(found - m_earlier->files.data()));
    if (file.digestible && m_digests != nullptr)
        m_digests->add(
            path, file.size.value_or(0), file.modifiedNs, file.row, same && m_sameAlgorithm ? found : nullptr);
}

EarlierChanges EarlierComparison::changes() const
{
    EarlierChanges changes;
    if (m_keptWhole)
        changes.unchanged = m_compared;
    if (m_earlier == nullptr || m_unusable)
        return changes;
    // The files whose digest this scan could not make go among the others, in the new catalog's
    // order: both lists are in it already.
    changes.changed.reserve(m_changed.size());
    std::size_t next = 0;
    auto changedBefore = [&](std::int64_t row) {
        while (next < m_changed.size() && m_changedRows[next] < row)
            changes.changed.push_back(m_changed[next++]);
    };
    if (m_digests != nullptr) {
        const std::vector<bool> digested = m_digests->digestedRows();
        for (const auto& [row, earlier] : m_digestsExpected) {
            if (static_cast<std::size_t>(row) < digested.size() && digested[static_cast<std::size_t>(row)])
                continue;
            changedBefore(row);
            const catalogdb::CatalogFile& file = m_earlier->files[earlier];
            changes.changed.push_back({ ChangedFile::What::NotDigested, file.path, file.size, {}, false });
        }
    }
    changedBefore(std::numeric_limits<std::int64_t>::max());
    changes.unchanged = m_compared - changes.changed.size();
    for (std::size_t i = 0; i < m_earlier->files.size(); ++i) {
        if (!m_finder->taken(i))
            changes.gone.push_back(m_earlier->files[i].path);
    }
    return changes;
}

} // namespace mellowby::scan
