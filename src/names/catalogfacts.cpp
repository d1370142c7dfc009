#include "names/catalogfacts.h"

#include "catalogdb/databasereader.h"
#include "catalogdb/databaseschema.h"
#include "catalogdb/entryrow.h"
#include "catalogdb/streamhash.h"

#include <charconv>
#include <iterator>
#include <map>
#include <unordered_map>

#include "catalog/datetext.h"
#include "catalog/textutils.h"
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

// The size and date texts of members, as a scan writes those of files: the size in whole
// kilobytes, the day of the last change as the user's locale writes it.
class MemberTexts {
public:
    static std::string size(std::optional<std::int64_t> bytes)
    {
        if (!bytes || *bytes < 0)
            return {};
        char digits[24];
        const auto converted = std::to_chars(
            std::begin(digits), std::end(digits), catalog::getFileSizeKB(static_cast<std::uint64_t>(*bytes)));
        return std::string(digits, converted.ptr) + "KB";
    }
    const std::string& date(std::optional<std::int64_t> modifiedNs)
    {
        static const std::string none;
        if (!modifiedNs)
            return none;
        const std::chrono::sys_days day = catalog::fileTimeToDate(floorDivide(*modifiedNs, 1'000'000'000));
        auto found = m_days.find(day.time_since_epoch().count());
        if (found == m_days.end()) {
            if (!m_format)
                m_format.emplace(catalog::DateFormatter::userLocaleName());
            found = m_days.emplace(day.time_since_epoch().count(), m_format->longDate(day)).first;
        }
        return found->second;
    }

private:
    static std::int64_t floorDivide(std::int64_t value, std::int64_t by)
    {
        return value / by - (value % by < 0 ? 1 : 0);
    }

    std::optional<catalog::DateFormatter> m_format;
    std::map<std::int64_t, std::string> m_days;
};

// The folders and files inside the catalog's archives, after its own entries: each archive a
// folder where it lies, its members inside. Only members whose rows are whole are added.
void addMembers(catalogdb::DatabaseReader& reader, NamesIndexBuilder& builder)
{
    if (!reader.membersWhole())
        return;
    MemberTexts texts;
    std::optional<std::uint32_t> archive;
    std::unordered_map<std::int64_t, std::uint32_t> folders; // the archive's member rows' folders
    reader.readMembers(
        [&](const catalogdb::ArchiveRow& row) {
            archive = builder.addArchiveFolder(row.entry);
            folders.clear();
        },
        [&](const catalogdb::MemberRow& row) {
            if (!archive)
                return;
            std::uint32_t folder = *archive;
            if (row.parent) {
                const auto found = folders.find(*row.parent);
                if (found == folders.end())
                    return; // its folder comes first in a listing the scan wrote
                folder = found->second;
            }
            if (row.kind == static_cast<std::int64_t>(catalogdb::schema::Kind::Folder)) {
                folders[row.id] = builder.addMemberFolder(folder, row.name);
                return;
            }
            std::optional<SizeAndTime> facts;
            if (row.size && *row.size >= 0 && row.modifiedNs)
                facts = SizeAndTime { static_cast<std::uint64_t>(*row.size), *row.modifiedNs };
            builder.addMember(folder, row.name, MemberTexts::size(row.size), texts.date(row.modifiedNs), facts);
        });
}

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
    builder.rememberArchives((*reader)->archiveEntries());
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
    if (state == DatabaseState::Belongs)
        addMembers(**reader, builder);
    return read;
}

} // namespace mellowby::names
