#include "names/namesindexcache.h"

#include "catalogdb/databasereader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <xxhash.h>

#include "catalog/catalogstore.h"
#include "names/catalogstreamreader.h"
#include "names/memoryfile.h"
#include "platform/filesystem.h"
#include "platform/paths.h"
#include "platform/userfolders.h"

namespace mellowby::names {

namespace {

// A catalog being indexed whose reads fail once the index is no longer wanted, so that a search
// stopped before the first index of a large catalog is made ends at the next block read.
class StoppableFile final : public platform::IReadableFile {
public:
    StoppableFile(const platform::IReadableFile& file, const StopAsked& stopAsked)
        : m_file(file)
        , m_stopAsked(stopAsked)
    {
    }
    const platform::FileStamp& stamp() const override { return m_file.stamp(); }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        if (m_stopAsked && m_stopAsked())
            m_stopped = true;
        if (m_stopped)
            return std::unexpected(platform::Error { 0, "stopped" });
        return m_file.readAt(offset, into);
    }
    bool stopped() const { return m_stopped; }

private:
    const platform::IReadableFile& m_file;
    const StopAsked& m_stopAsked;
    mutable bool m_stopped = false;
};

// Where the indexes go inside the user's cache folder.
constexpr std::string_view kCacheSubfolder = "mellowby/names";

std::string hexHash(std::string_view text)
{
    char digits[17];
    (void)std::snprintf(
        digits, sizeof digits, "%016llx", static_cast<unsigned long long>(XXH3_64bits(text.data(), text.size())));
    return digits;
}

class ReplacementSink final : public IIndexSink {
public:
    explicit ReplacementSink(platform::IReplacement& file)
        : m_file(file)
    {
    }
    std::expected<void, platform::Error> write(std::string_view bytes) override { return m_file.write(bytes); }
    std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        return m_file.writeAt(offset, bytes);
    }

private:
    platform::IReplacement& m_file;
};

class StringSink final : public IIndexSink {
public:
    explicit StringSink(std::string& out)
        : m_out(out)
    {
    }
    std::expected<void, platform::Error> write(std::string_view bytes) override
    {
        m_out += bytes;
        return {};
    }
    std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        if (offset > m_out.size() || bytes.size() > m_out.size() - offset)
            return std::unexpected(platform::errorFromErrno(EINVAL));
        m_out.replace(offset, bytes.size(), bytes);
        return {};
    }

private:
    std::string& m_out;
};

std::optional<NamesIndex> usable(std::expected<NamesIndex, std::string> opened)
{
    if (!opened || opened->readsDirectly())
        return std::nullopt;
    return std::move(*opened);
}

} // namespace

std::optional<std::string> userCacheFolder()
{
    auto folder = platform::userCacheFolder();
    return folder ? std::optional<std::string>(std::move(*folder)) : std::nullopt;
}

NamesIndexCache::NamesIndexCache(
    const catalog::CatalogStore& store, std::optional<std::string> cacheFolder, bool readCatalogsDirectly)
    : m_store(store)
    , m_cacheFolder(std::move(cacheFolder))
    , m_readCatalogsDirectly(readCatalogsDirectly)
{
}

const std::string& NamesIndexCache::dataFolder() const
{
    if (!m_dataFolder)
        m_dataFolder = m_store.fileSystem().canonicalPath(m_store.folder()).value_or(m_store.folder());
    return *m_dataFolder;
}

std::optional<std::string> NamesIndexCache::indexPath(std::string_view fileName) const
{
    if (!m_cacheFolder)
        return std::nullopt;
    return platform::joinPath(platform::joinPath(*m_cacheFolder, kCacheSubfolder), hexHash(dataFolder()))
        + platform::kPathSeparator + hexHash(fileName) + ".idx";
}

std::optional<NamesIndex> NamesIndexCache::indexOf(
    std::string_view catalogName, bool remake, const StopAsked& stopAsked) const
{
    if (m_readCatalogsDirectly)
        return std::nullopt;
    const auto path = m_store.catalogPath(catalogName);
    if (!path)
        return std::nullopt;
    platform::IFileSystem& fileSystem = m_store.fileSystem();
    const auto stamp = fileSystem.stampOf(*path);
    if (!stamp)
        return std::nullopt;
    const IndexKey key { dataFolder(), std::string(platform::fileNameOf(*path)), *stamp };
    if (!remake) {
        if (const auto kept = indexPath(key.fileName)) {
            if (auto file = fileSystem.openForReading(*kept)) {
                auto opened = NamesIndex::open(std::move(*file), key);
                // Made with the database that is beside the catalog now, or with none as now: one
                // found in another spelling is looked for again only when the index was made with it.
                if (opened
                    && databaseOf(*path, catalogName, opened->databaseStamp().has_value()).stamp
                        == opened->databaseStamp())
                    return usable(std::move(opened));
                // Of another version of the catalog or its database, cut short, damaged: made again.
            }
        }
    }
    return make(*path, catalogName, key, stopAsked);
}

DatabaseFile NamesIndexCache::databaseOf(
    const std::string& catalogPath, std::string_view catalogName, bool lookFurther) const
{
    platform::IFileSystem& fileSystem = m_store.fileSystem();
    std::string path = catalog::CatalogStore::companionBeside(catalogPath, catalog::Companion::Database);
    auto stamp = fileSystem.stampOf(path);
    if (!stamp && lookFurther) {
        if (auto found = m_store.companionPath(catalogName, catalog::Companion::Database)) {
            path = std::move(*found);
            stamp = fileSystem.stampOf(path);
        }
    }
    if (!stamp)
        return {};
    return { std::move(path), *stamp };
}

std::optional<NamesIndex> NamesIndexCache::make(const std::string& catalogPath, std::string_view catalogName,
    const IndexKey& wanted, const StopAsked& stopAsked) const
{
    platform::IFileSystem& fileSystem = m_store.fileSystem();
    auto catalog = fileSystem.openForReading(catalogPath);
    if (!catalog)
        return std::nullopt;
    // What was opened is the version the index describes, should the file have changed since.
    IndexKey key = wanted;
    key.stamp = (*catalog)->stamp();
    // What grows with the files waits beside the index, so that a catalog of any size is indexed
    // in memory bounded by its folders; without a cache, the index is made in memory anyway.
    std::optional<NamesIndexBuilder> builder;
    const auto path = indexPath(key.fileName);
    if (path && platform::createMissingFolders(fileSystem, platform::parentOf(*path)))
        builder.emplace(SpillSpace { &fileSystem, std::string(platform::parentOf(*path)) });
    else
        builder.emplace();
    const StoppableFile stoppable(**catalog, stopAsked);
    if (!readCatalogWithFacts(stoppable, fileSystem, databaseOf(catalogPath, catalogName, true), *builder))
        builder->giveUp();
    catalog->reset();
    if (stoppable.stopped())
        return std::nullopt;
    return keepAndOpen(key, *builder);
}

catalogdb::DatabaseState NamesIndexCache::databaseStateOf(std::string_view catalogName) const
{
    try {
        if (const auto index = indexOf(catalogName))
            return index->databaseState();
    } catch (const IndexDamaged&) {
        // judged below
    }
    const auto path = m_store.catalogPath(catalogName);
    if (!path)
        return catalogdb::DatabaseState::Absent;
    const DatabaseFile database = databaseOf(*path, catalogName, true);
    if (!database.path)
        return catalogdb::DatabaseState::Absent;
    return catalogdb::checkDatabase(m_store.fileSystem(), *database.path, *path);
}

std::unique_ptr<platform::IReplacement> NamesIndexCache::beginIndexFile(std::string_view fileName) const
{
    platform::IFileSystem& fileSystem = m_store.fileSystem();
    const auto path = indexPath(fileName);
    if (!path || !platform::createMissingFolders(fileSystem, platform::parentOf(*path)))
        return nullptr;
    auto file = fileSystem.beginCacheReplacement(*path);
    return file ? std::move(*file) : nullptr;
}

std::optional<NamesIndex> NamesIndexCache::keepAndOpen(const IndexKey& key, NamesIndexBuilder& builder) const
{
    platform::IFileSystem& fileSystem = m_store.fileSystem();
    if (auto file = beginIndexFile(key.fileName)) {
        ReplacementSink sink(*file);
        // A failure part way spends the builder; the catalog is read directly this time.
        if (!builder.write(key, sink) || !file->commit())
            return std::nullopt;
        auto kept = fileSystem.openForReading(*indexPath(key.fileName));
        if (!kept)
            return std::nullopt;
        return usable(NamesIndex::open(std::move(*kept), key));
    }
    // No cache to keep it in: the same index, in memory.
    return indexInMemory(builder, key);
}

std::optional<NamesIndex> indexInMemory(NamesIndexBuilder& builder, const IndexKey& key)
{
    std::string bytes;
    bytes.reserve(builder.indexSize(key));
    StringSink sink(bytes);
    if (!builder.write(key, sink))
        return std::nullopt;
    return usable(NamesIndex::open(std::make_shared<MemoryFile>(std::move(bytes)), key));
}

std::optional<NamesIndex> indexInMemory(const platform::IReadableFile& catalog, const IndexKey& key)
{
    NamesIndexBuilder builder;
    if (!CatalogStreamReader::read(catalog, builder))
        builder.giveUp();
    return indexInMemory(builder, key);
}

std::unique_ptr<NamesIndexCache::PendingIndex> NamesIndexCache::beginKeeping(
    std::string_view fileName, NamesIndexBuilder& builder) const
{
    if (m_readCatalogsDirectly)
        return nullptr;
    std::unique_ptr<PendingIndex> pending(new PendingIndex);
    pending->m_fileSystem = &m_store.fileSystem();
    pending->m_file = beginIndexFile(fileName);
    if (!pending->m_file)
        return nullptr;
    ReplacementSink sink(*pending->m_file);
    auto body = builder.writeBody({ dataFolder(), std::string(fileName), {} }, sink);
    if (!body)
        return nullptr;
    pending->m_body = *body;
    return pending;
}

void NamesIndexCache::PendingIndex::catalogInPlace(const catalog::CatalogPaths& paths)
{
    const auto stamp = m_fileSystem->stampOf(paths.xmlPath);
    if (!stamp)
        return;
    std::optional<platform::FileStamp> database;
    if (!paths.databasePath.empty()) {
        const auto databaseStamp = m_fileSystem->stampOf(paths.databasePath);
        if (!databaseStamp)
            return;
        database = *databaseStamp;
    }
    ReplacementSink sink(*m_file);
    if (NamesIndexBuilder::writeHeader(m_body, *stamp, database, sink))
        (void)m_file->commit();
}

} // namespace mellowby::names
