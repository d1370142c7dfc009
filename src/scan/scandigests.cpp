#include "scan/scandigests.h"

#include "catalogdb/catalogfiles.h"
#include "catalogdb/databasereader.h"

#include <algorithm>

#include "platform/directorylister.h"
#include "scan/scandatabase.h"

namespace mellowby::scan {

namespace {

// The run's own choices for the rest: its memory bound, the device asked of the first file.
digest::DigestOptions optionsFor(digest::DigestAlgorithm algorithm)
{
    digest::DigestOptions options;
    options.algorithm = algorithm;
    return options;
}

} // namespace

std::string failureText(const digest::FileDigest& outcome)
{
    switch (outcome.status) {
    case digest::FileStatus::Digested:
        break;
    case digest::FileStatus::Unreadable:
        // At its first byte: it could not be opened, or not read at all.
        if (outcome.errorOffset == 0)
            return "无法读取（" + outcome.error.description + "）";
        return "在第 " + std::to_string(outcome.errorOffset) + " 字节处读取出错（" + outcome.error.description + "）";
    case digest::FileStatus::Changed:
        return "扫描时被改动";
    case digest::FileStatus::Missing:
        return "已不存在";
    }
    return {};
}

ScanDigests::ScanDigests(platform::IFileReading& files, digest::DigestAlgorithm algorithm, ScanDatabase& database)
    : m_database(database)
    , m_algorithm(digest::algorithmName(algorithm))
    , m_run(files, optionsFor(algorithm), [this](digest::FileDigest outcome) { fileDone(std::move(outcome)); })
{
}

bool ScanDigests::digestible(const platform::DirEntry& entry)
{
    return entry.kind == platform::EntryKind::File && !entry.detailsError;
}

void ScanDigests::add(std::string_view path, std::uint64_t size, std::optional<std::int64_t> modifiedNs,
    std::int64_t row, const catalogdb::CatalogFile* earlier)
{
    // A file the run no longer takes (its disc is gone) is counted among those not digested.
    ++m_given;
    const bool same = earlier != nullptr && !earlier->digest.empty() && earlier->size == size && earlier->modifiedNs
        && earlier->modifiedNs == modifiedNs;
    if (!same) {
        (void)m_run.add({ std::string(path), size, modifiedNs, static_cast<std::uint64_t>(row) });
        return;
    }
    m_database.addDigest(row, m_algorithm, earlier->digest.view());
    const std::lock_guard lock(m_mutex);
    ++m_totals.digested;
    ++m_totals.reused;
    noteDigested(row);
}

void ScanDigests::copyAll(const catalogdb::DigestsToKeep& earlier)
{
    m_copied = static_cast<std::uint64_t>(earlier.catalog.digestCount);
    m_database.copyDigests(earlier.file, earlier.catalog.digestCount, earlier.catalog.digestsHash);
}

void ScanDigests::keepCopied()
{
    const std::lock_guard lock(m_mutex);
    m_given += m_copied;
    m_totals.digested += m_copied;
    m_totals.reused += m_copied;
}

void ScanDigests::dropCopied()
{
    if (m_copied != 0)
        m_database.dropCopiedDigests();
    m_copied = 0;
}

void ScanDigests::noteDigested(std::int64_t row)
{
    const auto at = static_cast<std::size_t>(row);
    if (at >= m_digested.size())
        m_digested.resize(std::max(at + 1, 2 * m_digested.size()));
    m_digested[at] = true;
}

std::vector<bool> ScanDigests::digestedRows() const
{
    const std::lock_guard lock(m_mutex);
    return m_digested;
}

void ScanDigests::fileDone(digest::FileDigest outcome)
{
    if (outcome.status == digest::FileStatus::Digested && outcome.digest) {
        const auto bytes = outcome.digest->bytes();
        m_database.addDigest(static_cast<std::int64_t>(outcome.file.tag), m_algorithm,
            { reinterpret_cast<const char*>(bytes.data()), bytes.size() });
        const std::lock_guard lock(m_mutex);
        ++m_totals.digested;
        noteDigested(static_cast<std::int64_t>(outcome.file.tag));
        return;
    }
    noteFailure(outcome.file.path + "：" + failureText(outcome));
}

void ScanDigests::noteFailure(std::string text)
{
    const std::lock_guard lock(m_mutex);
    if (m_totals.failures.size() < kNamedFailures)
        m_totals.failures.push_back(std::move(text));
}

bool ScanDigests::finish(IScanObserver* observer, ScanProgress progress)
{
    m_run.finishAdding();
    const digest::RunSummary summary
        = m_run.waitTelling([observer] { return observer != nullptr && observer->stopRequested(); },
            [&](const digest::DigestProgress& digests) {
                if (observer == nullptr)
                    return;
                progress.digests = digests;
                observer->onProgress(progress);
            });
    if (summary.end == digest::RunEnd::Stopped)
        return false;
    if (summary.end == digest::RunEnd::MediumGone)
        noteFailure("其余的文件：光盘已取出或驱动器已断开（" + summary.mediumError.description + "）");
    return true;
}

DigestTotals ScanDigests::totals() const
{
    const std::lock_guard lock(m_mutex);
    DigestTotals totals = m_totals;
    totals.notDigested = m_given - totals.digested;
    return totals;
}

} // namespace mellowby::scan
