#include "names/catalogfacts.h"

#include "catalogdb/databasereader.h"
#include "catalogdb/streamhash.h"

#include "names/catalogstreamreader.h"
#include "names/namesindexbuilder.h"

namespace mellowby::names {

namespace {

using catalogdb::DatabaseState;

// A catalog file read from start to end, its bytes hashed on the way: the first use reads it once
// for the index and for the hash its database records.
class HashingFile final : public platform::IReadableFile {
public:
    explicit HashingFile(const platform::IReadableFile& file)
        : m_file(file)
    {
    }
    const platform::FileStamp& stamp() const override { return m_file.stamp(); }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        auto read = m_file.readAt(offset, into);
        if (read && offset == m_hashed) {
            m_hash.update(std::string_view(into.data(), *read));
            m_hashed += *read;
        }
        return read;
    }
    // The hash of the whole file; nothing when it was not read through.
    std::optional<catalogdb::Hash128> digest() const
    {
        return m_hashed == stamp().size ? std::optional(m_hash.digest()) : std::nullopt;
    }

private:
    const platform::IReadableFile& m_file;
    mutable catalogdb::StreamHash m_hash;
    mutable std::uint64_t m_hashed = 0;
};

} // namespace

bool readCatalogWithFacts(const platform::IReadableFile& catalog, platform::IFileSystem& fileSystem,
    const DatabaseFile& database, NamesIndexBuilder& builder)
{
    if (!database.path) {
        builder.setDatabase(DatabaseState::Absent, std::nullopt);
        return CatalogStreamReader::read(catalog, builder);
    }
    auto reader = catalogdb::DatabaseReader::open(fileSystem, *database.path, catalog.stamp().size);
    if (!reader) {
        builder.setDatabase(reader.error(), database.stamp);
        return CatalogStreamReader::read(catalog, builder);
    }
    builder.keepFacts([&]() -> std::optional<SizeAndTime> {
        const auto facts = (*reader)->nextFile();
        if (!facts || !facts->size || !facts->modifiedNs)
            return std::nullopt;
        return SizeAndTime { *facts->size, *facts->modifiedNs };
    });
    const HashingFile hashed(catalog);
    const bool read = CatalogStreamReader::read(hashed, builder);
    const auto digest = hashed.digest();
    const DatabaseState state = read && digest ? (*reader)->finish(*digest) : DatabaseState::Unchecked;
    builder.setDatabase(state, database.stamp);
    return read;
}

} // namespace mellowby::names
