#include "verify/catalogverifier.h"

#include "catalogdb/catalogfiles.h"
#include "catalogdb/verifications.h"
#include "verify/discplace.h"
#include "verify/discwalk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "app/settings.h"
#include "catalog/catalogstore.h"
#include "catalog/textutils.h"
#include "catalog/uppercaser.h"
#include "catalog/volumerecord.h"
#include "digest/digestrun.h"
#include "platform/directorylister.h"
#include "scan/scandigests.h"
#include "scan/scanner.h"

namespace mellowby::verify {

namespace {

// The filter the scan used, as the settings it was given held it.
app::Settings filterOf(const catalogdb::ScanRecord& scan)
{
    app::Settings settings;
    settings.ifUseOption = scan.filterOn;
    settings.ifYesFile = scan.filterInclude;
    settings.YesFileStr = scan.includeTypes;
    settings.NoFileStr = scan.excludeTypes;
    return settings;
}

// To the nanosecond, in the local time zone: two times of the same second differ too.
std::string localTimeText(std::int64_t nanoseconds)
{
    std::int64_t fraction = nanoseconds % platform::kNanosecondsPerSecond;
    const std::time_t seconds = nanoseconds / platform::kNanosecondsPerSecond - (fraction < 0 ? 1 : 0);
    fraction = fraction < 0 ? fraction + platform::kNanosecondsPerSecond : fraction;
    std::tm parts {};
    if (localtime_r(&seconds, &parts) == nullptr)
        return std::to_string(nanoseconds);
    char text[48];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    length += static_cast<std::size_t>(
        std::snprintf(text + length, sizeof text - length, ".%09lld", static_cast<long long>(fraction)));
    return { text, std::min(length, sizeof text - 1) };
}

std::string optionalTimeText(const std::optional<std::int64_t>& nanoseconds)
{
    return nanoseconds ? localTimeText(*nanoseconds) : "未知";
}

std::string optionalSizeText(const std::optional<std::uint64_t>& size)
{
    return size ? std::to_string(*size) + " 字节" : "未知";
}

// What differs between the file of the catalog and the one on the disc; empty when nothing does.
std::string differences(const catalogdb::CatalogFile& file, const platform::DirEntry& entry)
{
    std::string text;
    if (file.size && *file.size != entry.size)
        text = "大小：目录中 " + optionalSizeText(file.size) + "，现在 " + optionalSizeText(entry.size);
    if (file.modifiedNs != entry.modifiedNs) {
        text.append(text.empty() ? "" : "；")
            .append("修改时间：目录中 " + optionalTimeText(file.modifiedNs) + "，现在 "
                + optionalTimeText(entry.modifiedNs));
    }
    return text;
}

// A digest the database holds, as the tools print it.
std::string digestText(digest::DigestAlgorithm algorithm, std::string_view bytes)
{
    digest::Digest digest { algorithm, {} };
    std::memcpy(digest.storage.data(), bytes.data(), std::min(bytes.size(), digest.storage.size()));
    return digest.text();
}

std::string databaseProblem(const std::string& name, catalogdb::DatabaseState state)
{
    if (state == catalogdb::DatabaseState::Absent)
        return "目录“" + name
            + "”没有数据库（扫描时用了 --no-database，或是较早生成的），没有可以比较的大小、时间和校验和";
    return "目录“" + name + "”的数据库不能使用（" + std::string(catalogdb::describe(state)) + "）";
}

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// One verification: the catalog's files, what has been found of them, and the reading of those
// whose contents are compared.
class Verification {
public:
    Verification(const VerifyServices& services, const VerifyRequest& request, const VerifyCallbacks& callbacks,
        catalogdb::CatalogFiles files, std::string root, catalogdb::VerificationRecorder& recorder)
        : m_services(services)
        , m_request(request)
        , m_callbacks(callbacks)
        , m_recorder(recorder)
        , m_files(std::move(files))
        , m_root(std::move(root))
        , m_filter(filterOf(m_files.scan))
        , m_seen(m_files.files.size(), false)
        , m_given(m_files.files.size(), false)
    {
        m_byPath.reserve(m_files.files.size());
        for (std::size_t i = 0; i < m_files.files.size(); ++i)
            m_byPath.emplace(m_files.files[i].path, i);
    }

    // The walk of the disc, the reading of the files given, then the files not found.
    std::expected<void, VerifyProblem> run();
    VerdictCounts counts() const { return m_counts; }

private:
    bool stopRequested() const { return m_callbacks.stop != nullptr && m_callbacks.stop->load(); }
    bool visit(const std::string& below, const std::string& path, const platform::DirEntry& entry);
    void judge(std::size_t index, const std::string& path, const platform::DirEntry& entry);
    void fileRead(const digest::FileDigest& outcome);
    bool waitForReading();
    void deliver(const VerdictRow& row, std::optional<std::size_t> index = std::nullopt);
    digest::DigestRun& reading();

    const VerifyServices& m_services;
    const VerifyRequest& m_request;
    const VerifyCallbacks& m_callbacks;
    catalogdb::VerificationRecorder& m_recorder; // each file found whole, as it is
    catalogdb::CatalogFiles m_files;
    std::string m_root;
    app::Settings m_filter;
    catalog::UpperCaser m_upper;
    std::unordered_map<std::string_view, std::size_t> m_byPath;
    std::vector<bool> m_seen;
    std::vector<bool> m_given; // given to be read, and not yet reported; under m_mutex
    std::mutex m_mutex; // rows come from the walk and from the readers
    VerdictCounts m_counts;
    std::unique_ptr<digest::DigestRun> m_reading; // last: its readers use the rest
};

digest::DigestRun& Verification::reading()
{
    if (!m_reading) {
        digest::DigestOptions options;
        options.algorithm = digest::algorithmNamed(m_files.algorithm).value_or(digest::DigestAlgorithm::Xxh128);
        m_reading = std::make_unique<digest::DigestRun>(
            m_services.reading, options, [this](const digest::FileDigest& outcome) { fileRead(outcome); });
    }
    return *m_reading;
}

void Verification::deliver(const VerdictRow& row, std::optional<std::size_t> index)
{
    const std::lock_guard lock(m_mutex);
    m_counts.add(row.verdict);
    if (index) {
        m_given[*index] = false;
        if (row.verdict == Verdict::Ok)
            m_recorder.add(m_files.files[*index].entry, nowNs());
    }
    if (m_callbacks.rows)
        m_callbacks.rows(row);
}

bool Verification::visit(const std::string& below, const std::string& path, const platform::DirEntry& entry)
{
    if (stopRequested())
        return false;
    // What the scan's filter kept out was never in the catalog, and is not new.
    if (!scan::filePassesFilter(m_filter, catalog::getFileExt(entry.name, m_upper)))
        return true;
    const auto found = m_byPath.find(below);
    if (found == m_byPath.end()) {
        deliver({ entry.name, Verdict::Added, path, entry.detailsError ? "" : optionalSizeText(entry.size) });
        return true;
    }
    m_seen[found->second] = true;
    judge(found->second, path, entry);
    return true;
}

void Verification::judge(std::size_t index, const std::string& path, const platform::DirEntry& entry)
{
    const catalogdb::CatalogFile& file = m_files.files[index];
    if (entry.detailsError) {
        deliver(
            { entry.name, Verdict::Unreadable, path, "无法读取大小和日期（" + entry.detailsError->description + "）" });
        return;
    }
    if (std::string changed = differences(file, entry); !changed.empty()) {
        deliver({ entry.name, Verdict::Modified, path, std::move(changed) });
        return;
    }
    const bool regular = file.kind == catalogdb::schema::Kind::File && entry.kind == platform::EntryKind::File;
    if (regular && (!file.digest.empty() || m_request.readEverything)) {
        {
            const std::lock_guard lock(m_mutex);
            m_given[index] = true;
        }
        // One the run no longer takes (its disc went away) is told with those it left unread.
        (void)reading().add({ path, entry.size, entry.modifiedNs, index });
        return;
    }
    deliver({ entry.name, Verdict::Ok, path, {} }, index);
}

void Verification::fileRead(const digest::FileDigest& outcome)
{
    const std::size_t index = outcome.file.tag;
    const catalogdb::CatalogFile& file = m_files.files[index];
    VerdictRow row = rowBelow(file.path, Verdict::Ok, m_root);
    row.location = outcome.file.path;
    switch (outcome.status) {
    case digest::FileStatus::Digested: {
        const auto bytes = outcome.digest->bytes();
        const std::string_view now(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (!file.digest.empty() && now != file.digest.view()) {
            row.verdict = Verdict::Rotten;
            row.detail = m_files.algorithm + " 校验和：目录中 "
                + digestText(outcome.digest->algorithm, file.digest.view()) + "，现在 " + outcome.digest->text();
        }
        break;
    }
    case digest::FileStatus::Unreadable:
        row.verdict = Verdict::Unreadable;
        row.detail = scan::failureText(outcome);
        break;
    case digest::FileStatus::Changed:
        row.verdict = Verdict::Modified;
        row.detail = "读取时被改动";
        break;
    case digest::FileStatus::Missing:
        row.verdict = Verdict::Missing;
        break;
    }
    deliver(row, index);
}

bool Verification::waitForReading()
{
    if (!m_reading)
        return true;
    m_reading->finishAdding();
    const digest::RunSummary summary = m_reading->waitTelling([this] { return stopRequested(); },
        [this](const digest::DigestProgress& progress) {
            if (m_callbacks.progress)
                m_callbacks.progress(progress);
        });
    if (m_callbacks.progress)
        m_callbacks.progress(m_reading->progress());
    if (summary.end == digest::RunEnd::Stopped)
        return false;
    // The files a disc taken out left unread.
    for (std::size_t i = 0; i < m_given.size(); ++i) {
        if (m_given[i])
            deliver(rowBelow(m_files.files[i].path, Verdict::Unreadable, m_root,
                        "光盘已取出或驱动器已断开（" + summary.mediumError.description + "）"),
                i);
    }
    return true;
}

std::expected<void, VerifyProblem> Verification::run()
{
    const bool walked = walkDisc(m_services.lister, m_root,
        [this](const std::string& below, const std::string& path, const platform::DirEntry& entry) {
            return visit(below, path, entry);
        });
    if (!walked) {
        m_reading.reset();
        return std::unexpected(VerifyProblem { VerifyFailure::DiscNotFound, "无法读取“" + m_root + "”" });
    }
    if (stopRequested() || !waitForReading()) {
        m_reading.reset();
        return std::unexpected(VerifyProblem { VerifyFailure::Stopped, "校验已停止" });
    }
    for (std::size_t i = 0; i < m_seen.size(); ++i) {
        if (!m_seen[i])
            deliver(rowBelow(m_files.files[i].path, Verdict::Missing, m_root));
    }
    return {};
}

} // namespace

std::expected<VerifyOutcome, VerifyProblem> verifyCatalog(
    const VerifyServices& services, const VerifyRequest& request, const VerifyCallbacks& callbacks)
{
    const catalog::CatalogStore& store = services.store;
    const auto catalogPath = store.catalogPath(request.catalogName);
    if (!catalogPath || !store.exists(request.catalogName))
        return std::unexpected(
            VerifyProblem { VerifyFailure::NoCatalog, "没有名为“" + request.catalogName + "”的目录" });
    const auto databasePath = store.companionPath(request.catalogName, catalog::Companion::Database);
    if (!databasePath)
        return std::unexpected(VerifyProblem { VerifyFailure::NoDatabase, databasePath.error().description });
    auto files = catalogdb::readCatalogFiles(store.fileSystem(), *databasePath, *catalogPath);
    if (!files)
        return std::unexpected(
            VerifyProblem { VerifyFailure::NoDatabase, databaseProblem(request.catalogName, files.error()) });
    auto root = scannedFolderNow(services.volumes, store.volumeRecord(request.catalogName), request.at);
    if (!root)
        return std::unexpected(VerifyProblem {
            root.error().wrongDisc ? VerifyFailure::WrongDisc : VerifyFailure::DiscNotFound, root.error().text });

    VerifyOutcome outcome;
    outcome.scannedFolder = *root;
    // Given up with the verification, it leaves the database as it was.
    catalogdb::VerificationRecorder recorder(store.fileSystem(), *databasePath);
    Verification verification(services, request, callbacks, std::move(*files), std::move(*root), recorder);
    if (auto done = verification.run(); !done)
        return std::unexpected(done.error());
    outcome.counts = verification.counts();
    const auto recorded = recorder.finish();
    outcome.recorded = recorded.has_value();
    if (!recorded)
        outcome.notRecorded = recorded.error().description;
    return outcome;
}

} // namespace mellowby::verify
