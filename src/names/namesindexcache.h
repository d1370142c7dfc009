#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/pendingcatalog.h"
#include "names/catalogfacts.h"
#include "names/namesindex.h"
#include "names/namesindexbuilder.h"

namespace mellowby::catalog {
class CatalogStore;
}

namespace mellowby::names {

// Asked now and then while an index is made: true when whoever wants it no longer does.
using StopAsked = std::function<bool()>;

// The user's cache folder, where the indexes are kept; nothing when the user has none.
std::optional<std::string> userCacheFolder();

// The index of what builder collected, made in memory; nothing when its catalog is to be read
// directly. The builder is spent.
std::optional<NamesIndex> indexInMemory(NamesIndexBuilder& builder, const IndexKey& key);
// The index of the catalog file catalog, made in memory; nothing when it is to be read directly.
std::optional<NamesIndex> indexInMemory(const platform::IReadableFile& catalog, const IndexKey& key);

// The names indexes of one Data folder's catalogs. They are kept in the user's cache folder
// ($XDG_CACHE_HOME/mellowby, by default ~/.cache/mellowby), never in Data, under names made from
// the Data folder's absolute path and the catalog's file name; each records the version of the
// catalog file it was made from, so a catalog replaced, touched or edited since gets a new one.
// Deleting any of them is always safe: the next use makes it again.
class NamesIndexCache {
public:
    // cacheFolder: the user's cache folder, or nothing when there is none; every index is then made
    // in memory when it is needed. With readCatalogsDirectly, no index is used at all and every
    // catalog is read through the document model, as a reference to compare with.
    NamesIndexCache(
        const catalog::CatalogStore& store, std::optional<std::string> cacheFolder, bool readCatalogsDirectly = false);

    const catalog::CatalogStore& store() const { return m_store; }
    // Whether every catalog, and every index twin, is read through the document model.
    bool readsCatalogsDirectly() const { return m_readCatalogsDirectly; }

    // The index of a catalog (its name as the store takes it): the kept one when it matches the
    // catalog file as it is now, else one made from the file, kept in the cache when the cache can
    // be written and in memory when it cannot. Nothing when the catalog is to be read directly: it
    // is missing or cannot be read (the document model says so in its own way), or it is not of the
    // form an index is made from. With remake, a kept index is not looked at (one that turned out
    // damaged when it was used). When stopAsked says so while one is made, it is given up and
    // nothing is returned: the caller that asked knows not to read the catalog instead.
    std::optional<NamesIndex> indexOf(
        std::string_view catalogName, bool remake = false, const StopAsked& stopAsked = {}) const;

    // What becomes of the database of a catalog (its name as the store takes it) when the catalog
    // is read: what its index says, else what reading the catalog whole to check it tells.
    catalogdb::DatabaseState databaseStateOf(std::string_view catalogName) const;
    // Where the database of the catalog whose catalog proper is at catalogPath lies, in any
    // spelling the store finds it by; nothing when it has none.
    std::optional<std::string> databasePathOf(const std::string& catalogPath, std::string_view catalogName) const
    {
        return databaseOf(catalogPath, catalogName, true).path;
    }

    // An index being kept for a catalog a scan is writing: its body is written while the catalog
    // goes to disk, its header, which names the version of the catalog file, once the catalog is
    // in place. Dropped before, it leaves nothing behind.
    class PendingIndex final : public catalog::ICommitFollower {
    public:
        // Puts the index in place for the catalog now at xmlPath; quietly does nothing when it
        // cannot (the index is made when it is next needed).
        void catalogInPlace(const catalog::CatalogPaths& paths) override;

    private:
        friend class NamesIndexCache;
        PendingIndex() = default;
        platform::IFileSystem* m_fileSystem = nullptr;
        std::unique_ptr<platform::IReplacement> m_file;
        NamesIndexBuilder::Body m_body;
    };
    // Starts keeping the index a scan collected for the catalog file fileName of the Data folder;
    // nothing when it cannot be kept.
    std::unique_ptr<PendingIndex> beginKeeping(std::string_view fileName, NamesIndexBuilder& builder) const;

    // Where the index of the catalog file fileName of this Data folder is kept; nothing without a
    // cache folder.
    std::optional<std::string> indexPath(std::string_view fileName) const;

private:
    const std::string& dataFolder() const;
    std::optional<NamesIndex> make(const std::string& catalogPath, std::string_view catalogName, const IndexKey& wanted,
        const StopAsked& stopAsked) const;
    // The database of the catalog whose catalog proper is at catalogPath: spelt as that file is,
    // else, when lookFurther, in any spelling the store finds it by.
    DatabaseFile databaseOf(const std::string& catalogPath, std::string_view catalogName, bool lookFurther) const;
    std::optional<NamesIndex> keepAndOpen(const IndexKey& key, NamesIndexBuilder& builder) const;
    std::unique_ptr<platform::IReplacement> beginIndexFile(std::string_view fileName) const;

    const catalog::CatalogStore& m_store;
    std::optional<std::string> m_cacheFolder;
    bool m_readCatalogsDirectly;
    mutable std::optional<std::string> m_dataFolder; // absolute, found on first use
};

} // namespace mellowby::names
