#include "search/catalogstats.h"

#include "catalog/catalogformat.h"
#include "catalog/catalogreader.h"
#include "catalog/catalogstore.h"
#include "names/namesindexcache.h"
#include "search/catalogfiles.h"
#include "search/duplicates.h"
#include "search/longdateparser.h"

namespace mellowby::search {

namespace {

// The folders below the Disk element: the index knows them, else the catalog file is counted.
std::optional<std::uint64_t> directoriesOf(const names::NamesIndexCache& indexes, const std::string& catalogName)
{
    try {
        if (const auto index = indexes.indexOf(catalogName))
            return index->directoryCount() - 1;
    } catch (const names::IndexDamaged&) {
        // counted below
    }
    const catalog::CatalogDocument document = indexes.store().loadCatalog(catalogName);
    if (!document.loaded())
        return std::nullopt;
    return document.documentElement().select_nodes((".//" + std::string(catalog::kDirectoryElement)).c_str()).size();
}

} // namespace

std::optional<CatalogStats> statsOf(
    const names::NamesIndexCache& indexes, platform::IMessageBox& box, const std::string& catalogName)
{
    CatalogStats stats;
    const auto directories = directoriesOf(indexes, catalogName);
    if (!directories)
        return std::nullopt;
    stats.directories = *directories;
    const LongDateParser dates;
    std::optional<std::int64_t> oldest;
    std::optional<std::int64_t> newest;
    std::string lastDate;
    std::optional<std::int64_t> lastDay;
    const bool read = forEachCatalogFile(indexes, box, catalogName, [&](const CatalogFile& file) {
        ++stats.files;
        stats.kilobytes += kilobytesOf(file.size).value_or(0);
        // Most files of a catalog share a few dates: each is read once in a row.
        if (file.date != lastDate) {
            lastDate = file.date;
            lastDay = dates.dayOf(file.date);
        }
        if (!lastDay)
            return;
        if (!oldest || *lastDay < *oldest) {
            oldest = lastDay;
            stats.oldest = file.date;
        }
        if (!newest || *lastDay > *newest) {
            newest = lastDay;
            stats.newest = file.date;
        }
    });
    if (!read)
        return std::nullopt;
    // The twin holds the Disk element as the catalog does, in a fraction of the bytes.
    catalog::CatalogDocument disk = indexes.store().loadTwin(catalogName);
    if (!disk.loaded())
        disk = indexes.store().loadCatalog(catalogName);
    if (disk.loaded())
        stats.scannedPath = catalog::attributeAt(disk.documentElement(), catalog::kLabelPosition).value();
    return stats;
}

} // namespace mellowby::search
