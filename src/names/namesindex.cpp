#include "names/namesindex.h"

#include <cstring>
#include <optional>
#include <span>
#include <xxhash.h>

#include "names/namesindexformat.h"

namespace mellowby::names {

namespace fmt = indexformat;

namespace {

// The header of the index in file, if it is of this layout, undamaged, and made for the version of
// the catalog file that key names; else why not.
std::expected<fmt::Header, std::string> readHeader(const platform::IReadableFile& file, const IndexKey& key)
{
    fmt::Header header;
    const auto got = file.readAt(0, std::span<char>(reinterpret_cast<char*>(&header), sizeof header));
    if (!got || *got != sizeof header)
        return std::unexpected("the index is shorter than its header");
    if (header.magic != fmt::kMagic || header.version != fmt::kVersion || header.headerSize != sizeof header)
        return std::unexpected("the index is of another layout");
    if (header.headerChecksum != XXH3_64bits(&header, offsetof(fmt::Header, headerChecksum)))
        return std::unexpected("the index's header is damaged");
    if (header.fileSize != file.stamp().size)
        return std::unexpected("the index is cut short or too long");
    const platform::FileStamp stamp { header.device, header.inode, header.size, header.modified, header.changed };
    if (stamp != key.stamp)
        return std::unexpected("the catalog has changed since the index was made");
    return header;
}

// A database state the index can hold, and facts for every file exactly when it belongs.
bool factsAreSound(const fmt::Header& header)
{
    if (!catalogdb::isDatabaseState(header.databaseState) || header.hasDatabase > 1)
        return false;
    const bool belongs
        = static_cast<catalogdb::DatabaseState>(header.databaseState) == catalogdb::DatabaseState::Belongs;
    const std::uint64_t files = belongs ? header.fileCount : 0;
    return header.sections[fmt::Facts].length == files * sizeof(fmt::FactRecord)
        && header.sections[fmt::TypeOffsets].length == files * sizeof(std::uint16_t);
}

// How many blocks the sections are cut into, when they follow one another to the end of the file,
// each of the size its records make; nothing when they do not.
std::optional<std::uint64_t> blocksOfSoundLayout(const fmt::Header& header)
{
    const auto& sections = header.sections;
    bool sound = header.blockSize == fmt::kBlockSize && (header.separator == '/' || header.separator == '\\');
    std::uint64_t offset = sizeof header;
    std::uint64_t blocks = 0;
    for (std::size_t which = fmt::Checksums; which < fmt::kSectionCount; ++which) {
        sound = sound && sections[which].offset == offset && sections[which].length <= header.fileSize - offset;
        offset = sound ? offset + sections[which].length : offset;
        blocks += which == fmt::Checksums ? 0 : blocksOf(sections[which].length);
    }
    sound = sound && offset == header.fileSize && sections[fmt::Checksums].length == blocks * sizeof(std::uint64_t)
        && header.fileCount < fmt::kNone && header.directoryCount < fmt::kNone
        && header.firstMemberFile <= header.fileCount && header.firstArchiveDirectory <= header.directoryCount
        && sections[fmt::Files].length == header.fileCount * sizeof(fmt::FileRecord)
        && sections[fmt::NameOffsets].length == header.fileCount * sizeof(std::uint32_t)
        && sections[fmt::DirectoryFiles].length == header.fileCount * sizeof(std::uint32_t)
        && sections[fmt::Directories].length == header.directoryCount * sizeof(fmt::DirectoryRecord)
        && sections[fmt::DirectoryRuns].length % sizeof(fmt::RunRecord) == 0
        && sections[fmt::ExtraNumbers].length % sizeof(std::uint32_t) == 0 && factsAreSound(header);
    return sound ? std::optional(blocks) : std::nullopt;
}

std::expected<std::vector<std::uint64_t>, std::string> readChecksums(
    const platform::IReadableFile& file, const fmt::Header& header, std::uint64_t blocks)
{
    std::vector<std::uint64_t> checksums(blocks);
    const std::size_t checksumBytes = checksums.size() * sizeof(std::uint64_t);
    const auto read = file.readAt(header.sections[fmt::Checksums].offset,
        std::span<char>(reinterpret_cast<char*>(checksums.data()), checksumBytes));
    if (!read || *read != checksumBytes || XXH3_64bits(checksums.data(), checksumBytes) != header.checksumsChecksum)
        return std::unexpected("the index's checksums are damaged");
    return checksums;
}

} // namespace

std::expected<NamesIndex, std::string> NamesIndex::open(
    std::shared_ptr<const platform::IReadableFile> file, const IndexKey& key)
{
    const auto header = readHeader(*file, key);
    if (!header)
        return std::unexpected(header.error());
    const auto blocks = blocksOfSoundLayout(*header);
    if (!blocks)
        return std::unexpected("the index's header is damaged");
    auto checksums = readChecksums(*file, *header, *blocks);
    if (!checksums)
        return std::unexpected(checksums.error());

    NamesIndex index;
    index.m_reader = std::make_shared<IndexBlockReader>(std::move(file), *header, std::move(*checksums));
    index.m_texts = std::make_shared<Texts>();
    try {
        const std::string expected = key.text();
        if (header->sections[fmt::Key].length != expected.size()
            || index.m_reader->bytes(fmt::Key, 0, expected.size()) != expected)
            return std::unexpected("the index was made for another catalog");
    } catch (const IndexDamaged&) {
        return std::unexpected("the index is damaged");
    }
    return index;
}

NamesIndex NamesIndex::forAnotherThread() const
{
    NamesIndex copy = *this;
    copy.m_reader = m_reader->another();
    copy.m_texts = std::make_shared<Texts>();
    return copy;
}

std::string_view NamesIndex::fileText(std::uint32_t offset, std::string& kept) const
{
    std::uint32_t length = 0;
    std::memcpy(&length, m_reader->bytes(fmt::FileTexts, offset, sizeof length).data(), sizeof length);
    const std::string_view text = m_reader->bytes(fmt::FileTexts, std::uint64_t { offset } + sizeof length, length);
    // The few size and date texts of most catalogs are held whole, as long as the index is open.
    if (m_reader->holdsWhole(fmt::FileTexts))
        return text;
    kept.assign(text);
    return kept;
}

bool NamesIndex::readsDirectly() const
{
    return (m_reader->header().flags & fmt::kFlagReadDirectly) != 0;
}

std::size_t NamesIndex::fileCount() const
{
    return m_reader->header().fileCount;
}

bool NamesIndex::isMember(std::uint32_t file) const
{
    return file >= m_reader->header().firstMemberFile;
}

bool NamesIndex::isInArchive(std::uint32_t directory) const
{
    return directory >= m_reader->header().firstArchiveDirectory;
}

bool NamesIndex::isArchive(std::uint32_t directory, const DirectoryView& view) const
{
    return isInArchive(directory) && !isInArchive(view.parent);
}

std::size_t NamesIndex::directoryCount() const
{
    return m_reader->header().directoryCount;
}

char NamesIndex::separator() const
{
    return static_cast<char>(m_reader->header().separator);
}

NamesIndex::DirectoryView NamesIndex::directory(std::uint32_t number) const
{
    const auto directory = m_reader->record<fmt::DirectoryRecord>(fmt::Directories, number);
    Texts& texts = *m_texts;
    m_reader->copy(fmt::FolderTexts, directory.title.offset, directory.title.length, texts.title);
    m_reader->copy(fmt::FolderTexts, directory.prefix.offset, directory.prefix.length, texts.prefix);
    return { directory.parent, directory.firstChild, directory.nextSibling, texts.title, texts.prefix,
        directory.firstFile, directory.fileCount };
}

std::vector<std::uint32_t> NamesIndex::filesOf(const DirectoryView& directory) const
{
    const std::uint64_t count = m_reader->length(fmt::DirectoryFiles) / sizeof(std::uint32_t);
    if (directory.firstFile > count || directory.fileCount > count - directory.firstFile)
        throw IndexDamaged {};
    std::vector<std::uint32_t> numbers;
    numbers.reserve(directory.fileCount);
    for (std::uint64_t n = 0; n < directory.fileCount; ++n)
        numbers.push_back(m_reader->record<std::uint32_t>(fmt::DirectoryFiles, directory.firstFile + n));
    return numbers;
}

NamesIndex::FileView NamesIndex::file(std::uint32_t number) const
{
    const std::string_view name = nameOf(number);
    const FileView sizeAndDate = textsOf(number);
    return { name, sizeAndDate.size, sizeAndDate.date };
}

std::string_view NamesIndex::nameOf(std::uint32_t number) const
{
    const auto offset = m_reader->record<std::uint32_t>(fmt::NameOffsets, number);
    Texts& texts = *m_texts;
    m_reader->copyTerminated(fmt::Names, offset, texts.name);
    return texts.name;
}

NamesIndex::TextPlaces NamesIndex::textPlacesOf(std::uint32_t number) const
{
    const auto file = m_reader->record<fmt::FileRecord>(fmt::Files, number);
    return { file.size, file.date };
}

std::string_view NamesIndex::textAt(std::uint32_t place) const
{
    return fileText(place, m_texts->size);
}

NamesIndex::FileView NamesIndex::textsOf(std::uint32_t number) const
{
    const auto file = m_reader->record<fmt::FileRecord>(fmt::Files, number);
    Texts& texts = *m_texts;
    const std::string_view size = fileText(file.size, texts.size);
    return { {}, size, fileText(file.date, texts.date) };
}

bool NamesIndex::hasFacts() const
{
    return databaseState() == catalogdb::DatabaseState::Belongs;
}

std::optional<FileFacts> NamesIndex::facts(std::uint32_t file) const
{
    if (!hasFacts())
        return std::nullopt;
    const auto facts = m_reader->record<fmt::FactRecord>(fmt::Facts, file);
    if (facts.size == fmt::kNoFacts)
        return std::nullopt;
    return FileFacts { facts.size, facts.modifiedNs, m_reader->record<std::uint16_t>(fmt::TypeOffsets, file) };
}

catalogdb::DatabaseState NamesIndex::databaseState() const
{
    return static_cast<catalogdb::DatabaseState>(m_reader->header().databaseState);
}

std::optional<platform::FileStamp> NamesIndex::databaseStamp() const
{
    const fmt::Header& header = m_reader->header();
    if (header.hasDatabase == 0)
        return std::nullopt;
    return platform::FileStamp { header.databaseDevice, header.databaseInode, header.databaseSize,
        header.databaseModified, header.databaseChanged };
}

} // namespace mellowby::names
