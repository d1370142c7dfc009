#include "scan/scandigests.h"

#include "catalogdb/catalogfiles.h"

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

ScanDigests::ScanDigests(platform::IFileReading& files, digest::DigestAlgorithm algorithm, ScanDatabase& database,
    EarlierCatalog earlier, std::string root)
    : m_database(database)
    , m_algorithm(digest::algorithmName(algorithm))
    , m_root(std::move(root))
    , m_earlierCatalog(std::move(earlier))
    , m_run(files, optionsFor(algorithm), [this](digest::FileDigest outcome) { fileDone(std::move(outcome)); })
{
}

void ScanDigests::takeEarlier()
{
    m_earlierTaken = true;
    if (m_earlierCatalog) {
        const auto files = m_earlierCatalog.files();
        m_earlierUnusable = !files.has_value();
        // A scan of other digests than the earlier ones keeps none.
        if (files && (*files)->algorithm == m_algorithm)
            m_earlier.emplace((*files)->files);
    }
    for (digest::FileToDigest& file : m_waiting)
        keepOrRead(std::move(file));
    m_waiting = {};
}

const catalogdb::CatalogFile* ScanDigests::earlierDigest(const digest::FileToDigest& file)
{
    if (!m_earlier || !file.path.starts_with(m_root))
        return nullptr;
    const catalogdb::CatalogFile* found = m_earlier->take(std::string_view(file.path).substr(m_root.size()));
    if (found == nullptr || found->digest.empty())
        return nullptr;
    const bool same = found->size == file.size && found->modifiedNs && found->modifiedNs == file.modified;
    return same ? found : nullptr;
}

void ScanDigests::add(std::string path, const platform::DirEntry& entry, std::int64_t row)
{
    // A file the run no longer takes (its disc is gone) is counted among those not digested.
    ++m_given;
    digest::FileToDigest file { std::move(path), entry.size, entry.modifiedNs, static_cast<std::uint64_t>(row) };
    if (!m_earlierTaken) {
        if (!m_earlierCatalog.ready()) {
            m_waiting.push_back(std::move(file));
            return;
        }
        takeEarlier();
    }
    keepOrRead(std::move(file));
}

void ScanDigests::keepOrRead(digest::FileToDigest file)
{
    if (m_earlierUnusable)
        return;
    if (const catalogdb::CatalogFile* earlier = earlierDigest(file)) {
        m_database.addDigest(static_cast<std::int64_t>(file.tag), m_algorithm, earlier->digest);
        const std::lock_guard lock(m_mutex);
        ++m_totals.digested;
        ++m_totals.reused;
        return;
    }
    (void)m_run.add(std::move(file));
}

void ScanDigests::fileDone(digest::FileDigest outcome)
{
    if (outcome.status == digest::FileStatus::Digested && outcome.digest) {
        const auto bytes = outcome.digest->bytes();
        m_database.addDigest(static_cast<std::int64_t>(outcome.file.tag), m_algorithm,
            { reinterpret_cast<const char*>(bytes.data()), bytes.size() });
        const std::lock_guard lock(m_mutex);
        ++m_totals.digested;
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
    if (!m_earlierTaken)
        takeEarlier();
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
