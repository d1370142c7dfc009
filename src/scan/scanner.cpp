#include "scan/scanner.h"

#include "catalogdb/catalogfiles.h"

#include <chrono>
#include <climits>
#include <exception>
#include <memory>
#include <optional>

#include "app/programtitle.h"
#include "app/settings.h"
#include "app/showmsg.h"
#include "catalog/catalogstore.h"
#include "catalog/volumerecord.h"
#include "names/namesindexcache.h"
#include "platform/directorylister.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/paths.h"
#include "platform/volumes.h"
#include "scan/catalogoutput.h"
#include "scan/catalogwalker.h"
#include "scan/catalogwriter.h"
#include "scan/earliercomparison.h"
#include "scan/imagescan.h"
#include "scan/scanarchives.h"
#include "scan/scandatabase.h"
#include "scan/scandigests.h"
#include "scan/scanindexer.h"

namespace mellowby::scan {

using catalog::PendingCatalog;
using names::NamesIndexBuilder;
using names::NamesIndexCache;

namespace {

constexpr std::string_view kGenXmlSource = "frmMain-genXml";
constexpr std::string_view kGenXmlMessage = "生成XML文件出错！";

void showGenXmlError(ScanContext& context, const platform::Error& error)
{
    app::ShowMsg(context.box, std::string(kGenXmlMessage), error, std::string(kGenXmlSource));
}

// Which folder the Data folder is, so that the walk knows it when it meets it in the tree.
platform::FileId dataFolderId(ScanContext& context)
{
    auto folder = context.lister.open(context.store.folder());
    return folder ? (*folder)->id() : platform::FileId {};
}

// Whether the scan may go on: a path to scan, a name that keeps the catalog inside Data, and the
// user's yes to replacing a catalog of that name.
std::expected<void, ScanFailure> mayScan(ScanContext& context, const std::string& path, const std::string& name)
{
    if (path.empty())
        return std::unexpected(ScanFailure::EmptyPath);
    if (const auto problem = catalog::catalogNameProblem(name)) {
        showGenXmlError(context, { 0, *problem });
        return std::unexpected(ScanFailure::NameRefused);
    }
    if (context.store.exists(catalog::effectiveCatalogName(name))) {
        const auto answer = context.box.show({ "当前文件已存在，是否覆盖？", "生成xml文件",
            platform::MessageIcon::Warning, platform::MessageButtons::YesNo });
        if (answer != platform::MessageAnswer::Yes)
            return std::unexpected(ScanFailure::OverwriteDeclined);
    }
    return {};
}

// The volume is identified before the walk, while it is surely the one being scanned. A path whose
// volume cannot be told (a network share) gives a catalog without a record, as before; a disc
// image there still gets one, for what the image says of itself.
std::expected<void, platform::Error> recordVolume(
    ScanContext& context, PendingCatalog& pending, const std::string& path, const ImageScan* image)
{
    if (context.volumes == nullptr)
        return {};
    auto place = context.volumes->placeOf(path);
    if (!place && image == nullptr)
        return {};
    catalog::VolumeRecord record { {}, {}, path };
    if (place) {
        record.volume = std::move(place->volume);
        record.relativePath = std::move(place->relativePath);
    }
    if (image != nullptr)
        record.image = image->record();
    return pending.recordVolume(record);
}

// The new catalog with the record of the scanned volume; nothing once the user has been told why not.
std::optional<PendingCatalog> beginCatalog(
    ScanContext& context, const std::string& path, const std::string& name, const ImageScan* image)
{
    // What an earlier scan left behind when its process ended before it finished.
    context.store.removeLeftovers();
    auto pending = context.store.beginCatalog(name);
    if (!pending) {
        showGenXmlError(context, pending.error());
        return std::nullopt;
    }
    if (auto recorded = recordVolume(context, *pending, path, image); !recorded) {
        showGenXmlError(context, recorded.error());
        return std::nullopt;
    }
    return std::move(*pending);
}

std::optional<ScanFailure> failureOf(CatalogWalker::Outcome outcome)
{
    switch (outcome) {
    case CatalogWalker::Outcome::Complete:
        return std::nullopt;
    case CatalogWalker::Outcome::RootUnreadable:
    case CatalogWalker::Outcome::RootFailed:
        return ScanFailure::RootUnreadable;
    case CatalogWalker::Outcome::Stopped:
        return ScanFailure::Stopped;
    case CatalogWalker::Outcome::WriteFailed:
        return ScanFailure::Failed;
    }
    return ScanFailure::Failed;
}

// The files of one scan being written: the catalog pair, its database when it gets one, and the
// names index collected beside them.
struct ScanFiles {
    explicit ScanFiles(PendingCatalog& catalog)
        : pending(catalog)
        , output(catalog.catalog(), catalog.twin())
    {
    }

    // Why writing failed: the catalog's own failure, else the database's.
    platform::Error failure()
    {
        if (output.error())
            return *output.error();
        try {
            // Its thread has ended once it failed.
            if (database && database->failed())
                database->wait();
        } catch (const catalogdb::DatabaseWriteFailed& failed) {
            return failed.error;
        }
        return { 0, "" };
    }

    PendingCatalog& pending;
    CatalogOutput output;
    // Before the indexer, whose thread fills it, so that it outlives that thread.
    std::unique_ptr<NamesIndexCache::PendingIndex> keptIndex;
    std::optional<ScanDatabase> database;
    // After the database, which its readers write into, so that they have ended before it goes.
    std::optional<ScanDigests> digests;
    // After the digests, which it hands files to.
    std::optional<EarlierComparison> earlier;
    std::optional<ScanArchives> archives;
    std::optional<ScanIndexer> index;
};

catalogdb::ScanRecord scanRecordOf(const ScanContext& context, const std::string& path)
{
    const app::Settings& settings = context.settings;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return { path, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), settings.ifUseOption,
        settings.ifYesFile, settings.YesFileStr, settings.NoFileStr };
}

// Writes the rest of the catalog's files while the database and the collected index are finished
// beside them; the index, once written, goes with the catalog. An index that cannot be kept is no
// failure of the scan: it is made when it is first needed. False when a file could not be written.
bool finishFiles(ScanContext& context, ScanFiles& files, catalogdb::ScanRecord record)
{
    // The catalog proper is whole once flushed: its hash goes into the database while it is synced.
    files.output.flush();
    if (files.output.error())
        return false;
    if (files.database)
        files.database->finishWith(std::move(record), files.output.catalogSize(), files.output.catalogHash());
    if (files.index) {
        files.index->finishWith([&](NamesIndexBuilder& builder) {
            files.keptIndex = context.indexes->beginKeeping(files.pending.fileNames().xmlName, builder);
        });
    }
    files.output.finish();
    bool written = !files.output.error();
    if (files.database) {
        try {
            files.database->wait();
        } catch (const catalogdb::DatabaseWriteFailed&) {
            written = false;
        }
    }
    if (files.index) {
        try {
            files.index->wait();
        } catch (const std::exception&) {
            files.keptIndex.reset(); // the index is made when it is first needed
        }
    }
    if (files.keptIndex)
        files.pending.followWith(std::move(files.keptIndex));
    return written;
}

// Starts the database of the catalog, when it gets one; false once the user has been told why not.
bool beginDatabase(ScanContext& context, ScanFiles& files)
{
    // A catalog whose name leaves no room for the database's longer extension goes without one
    // rather than failing as a whole.
    const std::string& fileName = files.pending.fileNames().companionName(catalog::Companion::Database);
    if (!context.writeDatabase || fileName.size() > NAME_MAX)
        return true;
    auto file = files.pending.beginCompanion(catalog::Companion::Database);
    if (!file) {
        showGenXmlError(context, file.error());
        return false;
    }
    try {
        files.database.emplace(**file);
    } catch (const catalogdb::DatabaseWriteFailed& failed) {
        showGenXmlError(context, failed.error);
        return false;
    }
    return true;
}

void showPlainBox(ScanContext& context, const std::string& text)
{
    context.box.show({ text, app::kProgramTitle, platform::MessageIcon::None, platform::MessageButtons::Ok });
}

// The same context walking another tree.
ScanContext walking(const ScanContext& context, platform::IDirectoryLister& lister)
{
    return rebound(context, context.settings, lister, context.observer);
}

// A path that is a disc image file is read whole before anything is written; a file that is no
// image, or one whose files cannot be digested, is refused with the user told why.
std::expected<std::optional<ImageScan>, ScanFailure> readImage(ScanContext& context, const std::string& path)
{
    auto image = ImageScan::open(path);
    if (!image)
        return std::nullopt;
    if (!*image) {
        showPlainBox(context, image->error().description);
        return std::unexpected(ScanFailure::Failed);
    }
    // Digests are read from files of the machine; an image's files are not.
    if (context.checksums && context.writeDatabase) {
        showPlainBox(context, "扫描光盘映像时不能计算文件的校验和。");
        return std::unexpected(ScanFailure::Failed);
    }
    return std::move(**image);
}

std::expected<ScanResult, ScanFailure> generate(ScanContext& given, const std::string& path, const std::string& name)
{
    if (auto allowed = mayScan(given, path, name); !allowed)
        return std::unexpected(allowed.error());
    const auto image = readImage(given, path);
    if (!image)
        return std::unexpected(image.error());
    const platform::FileId dataFolder = dataFolderId(given);
    ScanContext context = *image ? walking(given, (*image)->lister()) : given;
    auto pending = beginCatalog(context, path, name, *image ? &**image : nullptr);
    if (!pending)
        return std::unexpected(ScanFailure::Failed);
    catalogdb::ScanRecord record = scanRecordOf(context, path);

    ScanFiles files(*pending);
    if (!beginDatabase(context, files))
        return std::unexpected(ScanFailure::Failed);
    // The members of archives reach the names index from the database once it is whole: a scan
    // that lists them leaves the index to be made when it is first needed.
    if (context.indexes != nullptr && !context.listArchives)
        files.index.emplace();
    if (files.database && context.checksums && context.fileReading != nullptr)
        files.digests.emplace(*context.fileReading, *context.checksums, *files.database);
    if (files.database && context.earlier)
        files.earlier.emplace(context.earlier, path, files.digests ? &*files.digests : nullptr);
    CatalogWriter writer(files.output, context.settings, context.dates, files.index ? &*files.index : nullptr,
        files.database ? &*files.database : nullptr);
    writer.beginDisk(pending->fileNames().diskTitle, path);
    if (files.database && context.listArchives)
        files.archives.emplace(context.store.fileSystem(), *files.database);
    CatalogWalker walker(context, writer, dataFolder, files.digests ? &*files.digests : nullptr,
        files.archives ? &*files.archives : nullptr, files.earlier ? &*files.earlier : nullptr);
    if (const auto failure = failureOf(walker.walk(path))) {
        if (*failure == ScanFailure::Failed)
            showGenXmlError(context, files.failure());
        return std::unexpected(*failure);
    }
    if (files.earlier)
        files.earlier->finishWalk([&files] { return files.database->entriesWritten(); });
    // The digests still being read are waited for before the database is finished with them.
    if (files.digests && !files.digests->finish(context.observer, walker.progress()))
        return std::unexpected(ScanFailure::Stopped);
    if (files.archives && !files.archives->finish(context.observer, walker.progress()))
        return std::unexpected(ScanFailure::Stopped);
    // Read beside the walk, the earlier catalog is found unusable at the latest here, before the
    // new files replace it.
    if (files.earlier ? files.earlier->unusable() : context.earlier && !context.earlier.files())
        return std::unexpected(ScanFailure::EarlierUnusable);
    writer.endDisk();
    if (!finishFiles(context, files, std::move(record))) {
        showGenXmlError(context, files.failure());
        return std::unexpected(ScanFailure::Failed);
    }
    const auto committed = pending->commit();
    if (!committed) {
        showGenXmlError(context, committed.error());
        return std::unexpected(ScanFailure::Failed);
    }
    ScanResult result { walker.progress(), committed->xmlPath, committed->twinPath, committed->databasePath, {}, {} };
    if (files.digests)
        result.digests = files.digests->totals();
    if (files.archives)
        result.archives = files.archives->totals();
    if (files.earlier)
        result.changes = files.earlier->changes();
    return result;
}

} // namespace

std::expected<ScanResult, ScanFailure> genXml(ScanContext& context, const std::string& path, const std::string& name)
{
    try {
        return generate(context, path, name);
    } catch (const std::exception& failure) {
        showGenXmlError(context, { 0, failure.what() });
        return std::unexpected(ScanFailure::Failed);
    }
}

bool filePassesFilter(const app::Settings& settings, std::string_view ext)
{
    if (!settings.ifUseOption)
        return true;
    if (settings.ifYesFile)
        return !ext.empty() && settings.YesFileStr.find(ext) != std::string::npos;
    // An empty extension occurs in every non-empty list, so files without one are dropped
    // unless the exclusion list is empty.
    if (ext.empty())
        return settings.NoFileStr.empty();
    return settings.NoFileStr.find(ext) == std::string::npos;
}

bool createDir(platform::IFileSystem& fileSystem, const std::string& path)
{
    if (path.empty())
        return false;
    return fileSystem.createDirectory(platform::collapseDoubledSeparators(path)).has_value();
}

ScanContext rebound(const ScanContext& context, const app::Settings& settings, platform::IDirectoryLister& lister,
    IScanObserver* observer)
{
    return { context.store, settings, lister, context.box, context.dates, observer, context.indexes, context.volumes,
        context.writeDatabase, context.checksums, context.fileReading, context.earlier, context.listArchives };
}

} // namespace mellowby::scan
