#include "search/catalogdigests.h"

#include "catalog/catalogstore.h"
#include "names/namesindexcache.h"
#include "search/catalogfiles.h"

namespace mellowby::search {

std::expected<catalogdb::DigestReading, catalogdb::DatabaseState> openCatalogDigests(
    const names::NamesIndexCache& indexes, const std::string& catalogName)
{
    const auto catalogPath = indexes.store().catalogPath(catalogName);
    if (!catalogPath)
        return std::unexpected(catalogdb::DatabaseState::Absent);
    const auto databasePath = indexes.databasePathOf(*catalogPath, catalogName);
    if (!databasePath)
        return std::unexpected(catalogdb::DatabaseState::Absent);
    return catalogdb::openForDigests(indexes.store().fileSystem(), *databasePath, *catalogPath);
}

catalogdb::DatabaseState forEachFileWithDigest(const names::NamesIndexCache& indexes, platform::IMessageBox& box,
    const std::string& catalogName, const std::function<void(const CatalogFile&, const catalogdb::FileRowFacts&)>& each)
{
    auto reading = openCatalogDigests(indexes, catalogName);
    if (!reading)
        return reading.error();
    // The files come in document order, as the database's File rows do: one row each. A catalog
    // with more files than rows, or fewer, is told by finish().
    const bool read = forEachCatalogFile(indexes, box, catalogName, [&](const CatalogFile& file) {
        if (const auto row = reading->reader->nextFile())
            each(file, *row);
    });
    if (!read)
        return catalogdb::DatabaseState::Unchecked;
    return reading->reader->finish(reading->catalogHash);
}

} // namespace mellowby::search
