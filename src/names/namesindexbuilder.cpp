#include "names/namesindexbuilder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <xxhash.h>

#include "catalog/locationtext.h"
#include "catalog/namebytes.h"
#include "names/indexblockreader.h"
#include "names/indexsectionwriter.h"

namespace mellowby::names {

namespace fmt = indexformat;

namespace {

// An index that would hold more location text than the budget is not made (the catalog is read
// directly).
constexpr std::uint64_t kMaxPrefixBytes = catalog::kMaxLocationBytes;

// Whether upper is name with its ASCII letters upper-cased and nothing else changed: what the
// search compares for every name it does not list apart.
bool upperCasesLetterByLetter(std::string_view name, std::string_view upper)
{
    if (name.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (catalog::upperAscii(name[i]) != upper[i])
            return false;
    }
    return true;
}

template <typename Value> std::string_view bytesOf(const Value& value)
{
    return { reinterpret_cast<const char*>(&value), sizeof value };
}

template <typename Value> std::string_view bytesOf(const std::vector<Value>& values)
{
    return { reinterpret_cast<const char*>(values.data()), values.size() * sizeof(Value) };
}

// The file after the last of run number run.
std::uint32_t runEnd(std::span<const fmt::RunRecord> runs, std::size_t run, std::uint32_t fileCount)
{
    return run + 1 < runs.size() ? runs[run + 1].firstFile : fileCount;
}

// How many file numbers of the DirectoryFiles section are handed to the writer at a time.
constexpr std::size_t kFileNumbersAtATime = 16 * 1024;

} // namespace

NamesIndexBuilder::NamesIndexBuilder() = default;

NamesIndexBuilder::NamesIndexBuilder(const SpillSpace& space)
    : m_space(std::make_unique<SpillSpace>(space))
{
    for (SpillingBuffer* buffer : fileBuffers())
        *buffer = SpillingBuffer(m_space.get());
}

std::array<SpillingBuffer*, 7> NamesIndexBuilder::fileBuffers()
{
    return { &m_names, &m_nameOffsets, &m_files, &m_extraNumbers, &m_extraUpperNames, &m_facts, &m_typeOffsets };
}

std::size_t NamesIndexBuilder::heldBytes() const
{
    std::size_t held = m_fileTexts.heldBytes() + m_folderTexts.capacity() + m_runs.capacity()
        + m_directories.capacity() * sizeof(Directory)
        + (m_firstChild.capacity() + m_nextSibling.capacity()) * sizeof(std::uint32_t);
    for (const auto& [number, prefix] : m_open)
        held += sizeof number + prefix.capacity();
    for (const SpillingBuffer* buffer :
        { &m_names, &m_nameOffsets, &m_files, &m_extraNumbers, &m_extraUpperNames, &m_facts, &m_typeOffsets })
        held += buffer->heldBytes();
    return held;
}

std::uint32_t NamesIndexBuilder::text(std::string_view value)
{
    const std::uint32_t number = m_fileTexts.number(value);
    if (number != FileTexts::kTooMany)
        return number;
    // Offsets beyond 32 bits are not indexed.
    giveUp();
    return 0;
}

std::uint32_t NamesIndexBuilder::addDirectory(std::uint32_t parent, std::string_view title, std::string prefix)
{
    const auto number = static_cast<std::uint32_t>(m_directories.size());
    m_prefixBytes += prefix.size();
    if (m_prefixBytes > kMaxPrefixBytes || number == fmt::kNone - 1) {
        giveUp();
        return number;
    }
    m_directories.push_back({ parent, fmt::kNone, addFolderText(title), addFolderText(prefix) });
    m_firstChild.push_back(fmt::kNone);
    m_nextSibling.push_back(fmt::kNone);
    if (parent != fmt::kNone) {
        Directory& above = m_directories[parent];
        if (above.lastChild == fmt::kNone)
            m_firstChild[parent] = number;
        else
            m_nextSibling[above.lastChild] = number;
        above.lastChild = number;
    }
    m_open.emplace_back(number, std::move(prefix));
    return number;
}

std::pair<std::uint64_t, std::uint64_t> NamesIndexBuilder::addFolderText(std::string_view value)
{
    const std::uint64_t offset = m_folderTexts.size();
    m_folderTexts.append(value);
    return { offset, value.size() };
}

void NamesIndexBuilder::beginDisk(std::string_view title, std::string_view label)
{
    if (!m_fits)
        return;
    m_separator = catalog::locationSeparatorFor(label);
    countEntry(std::nullopt);
    std::string prefix;
    catalog::appendLocationLevel(prefix, label, m_separator);
    addDirectory(fmt::kNone, title, std::move(prefix));
}

void NamesIndexBuilder::enterDirectory(std::string_view title)
{
    if (!m_fits)
        return; // no index of entries will be written; the walk goes on without collecting more
    countEntry(std::nullopt);
    std::string prefix = m_open.back().second;
    catalog::appendLocationLevel(prefix, title, m_separator);
    addDirectory(m_open.back().first, title, std::move(prefix));
}

void NamesIndexBuilder::leaveDirectory()
{
    if (m_fits && m_open.size() > 1)
        m_open.pop_back();
}

void NamesIndexBuilder::addFile(
    std::string_view name, std::string_view size, std::string_view date, std::optional<SizeAndTime> facts)
{
    if (!m_fits)
        return;
    const std::uint32_t sizeNumber = text(size);
    addFile(name, sizeNumber, text(date), facts);
}

void NamesIndexBuilder::addFile(
    std::string_view name, std::uint32_t size, std::uint32_t date, std::optional<SizeAndTime> facts)
{
    if (!m_fits)
        return;
    if (m_keepsFacts && !facts && m_factSource)
        facts = m_factSource();
    if (!m_firstMemberFile)
        countEntry(name);
    const std::string_view upper = m_upper.upper(name);
    // Names beyond 32-bit offsets are not indexed.
    if (m_fileCount >= fmt::kNone - 1 || name.size() > fmt::kMaxNameBytes || upper.size() > fmt::kMaxNameBytes
        || m_names.size() + name.size() >= fmt::kNone) {
        giveUp();
        return;
    }
    const std::uint32_t number = m_fileCount++;
    const std::uint32_t directory = m_open.back().first;
    const auto runs = m_runs.records<fmt::RunRecord>();
    if (runs.empty() || runs.back().directory != directory)
        m_runs.appendRecord(fmt::RunRecord { number, directory });
    m_files.appendRecord(fmt::FileRecord { size, date });
    m_nameOffsets.appendRecord(static_cast<std::uint32_t>(m_names.size()));
    m_names.append(name);
    m_names.appendRecord('\0');
    if (!upperCasesLetterByLetter(name, upper)) {
        m_extraNumbers.appendRecord(number);
        m_extraUpperNames.append(upper);
        m_extraUpperNames.appendRecord('\0');
    }
    if (m_keepsFacts)
        addFacts(name, facts);
}

void NamesIndexBuilder::addFacts(std::string_view name, std::optional<SizeAndTime> facts)
{
    const auto dot = name.rfind('.');
    const std::size_t typeOffset = dot == std::string_view::npos || dot == 0 ? name.size() : dot + 1;
    // A type further in than its record can say, or the very size that marks none, is not kept.
    if (!facts || typeOffset > 0xFFFF || facts->size == fmt::kNoFacts) {
        m_facts.appendRecord(fmt::FactRecord { fmt::kNoFacts, 0 });
        m_typeOffsets.appendRecord(std::uint16_t { 0 });
        return;
    }
    m_facts.appendRecord(fmt::FactRecord { facts->size, facts->modifiedNs });
    m_typeOffsets.appendRecord(static_cast<std::uint16_t>(typeOffset));
}

void NamesIndexBuilder::countEntry(std::optional<std::string_view> fileName)
{
    const std::int64_t entry = m_entryCount++;
    while (m_nextArchive < m_archiveEntries.size() && m_archiveEntries[m_nextArchive] < entry)
        ++m_nextArchive;
    if (m_nextArchive == m_archiveEntries.size() || m_archiveEntries[m_nextArchive] != entry || m_open.empty())
        return;
    // Only a File element is an archive; a folder of that number is not.
    if (fileName) {
        m_placedArchives.emplace_back(
            entry, PlacedArchive { m_open.back().first, std::string(*fileName), m_open.back().second });
    }
}

void NamesIndexBuilder::rememberArchives(std::vector<std::int64_t> entries)
{
    m_archiveEntries = std::move(entries);
}

const std::string& NamesIndexBuilder::archivePrefix(std::uint32_t folder) const
{
    return m_archivePrefixes.at(folder - *m_firstArchiveDirectory);
}

std::optional<std::uint32_t> NamesIndexBuilder::addArchiveFolder(std::int64_t entry)
{
    if (!m_fits)
        return std::nullopt;
    const auto placed
        = std::ranges::lower_bound(m_placedArchives, entry, {}, &std::pair<std::int64_t, PlacedArchive>::first);
    if (placed == m_placedArchives.end() || placed->first != entry)
        return std::nullopt;
    if (!m_firstArchiveDirectory) {
        m_firstArchiveDirectory = static_cast<std::uint32_t>(m_directories.size());
        m_firstMemberFile = m_fileCount;
    }
    std::string prefix = placed->second.prefix;
    catalog::appendLocationLevel(prefix, placed->second.name, m_separator);
    m_archivePrefixes.push_back(prefix);
    const std::uint32_t number = addDirectory(placed->second.folder, placed->second.name, std::move(prefix));
    m_open.clear();
    return m_fits ? std::optional(number) : std::nullopt;
}

std::uint32_t NamesIndexBuilder::addMemberFolder(std::uint32_t parent, std::string_view title)
{
    if (!m_fits)
        return 0;
    std::string prefix = archivePrefix(parent);
    catalog::appendLocationLevel(prefix, title, m_separator);
    m_archivePrefixes.push_back(prefix);
    const std::uint32_t number = addDirectory(parent, title, std::move(prefix));
    m_open.clear();
    return number;
}

void NamesIndexBuilder::addMember(std::uint32_t folder, std::string_view name, std::string_view size,
    std::string_view date, std::optional<SizeAndTime> facts)
{
    if (!m_fits)
        return;
    // addFile puts a file in the folder open last.
    m_open.clear();
    m_open.emplace_back(folder, std::string());
    addFile(name, size, date, facts);
    m_open.clear();
}

void NamesIndexBuilder::keepFacts(std::function<std::optional<SizeAndTime>()> source)
{
    m_keepsFacts = true;
    m_factSource = std::move(source);
    m_databaseState = catalogdb::DatabaseState::Belongs;
}

void NamesIndexBuilder::dropFacts()
{
    m_keepsFacts = false;
    m_factSource = {};
    m_facts.release();
    m_typeOffsets.release();
}

void NamesIndexBuilder::setDatabase(catalogdb::DatabaseState state, std::optional<platform::FileStamp> stamp)
{
    m_databaseState = state;
    m_databaseStamp = stamp;
    m_factSource = {}; // what the facts were read from is done with
    if (state != catalogdb::DatabaseState::Belongs)
        dropFacts();
}

std::array<std::uint64_t, indexformat::kSectionCount> NamesIndexBuilder::sectionLengths(std::uint64_t keyBytes) const
{
    std::array<std::uint64_t, fmt::kSectionCount> lengths {};
    lengths[fmt::Key] = keyBytes;
    lengths[fmt::FileTexts] = m_fileTexts.bytes().size();
    lengths[fmt::FolderTexts] = m_folderTexts.size();
    lengths[fmt::Directories] = m_directories.size() * sizeof(fmt::DirectoryRecord);
    lengths[fmt::DirectoryRuns] = m_runs.size();
    lengths[fmt::Files] = m_files.size();
    lengths[fmt::NameOffsets] = m_nameOffsets.size();
    lengths[fmt::DirectoryFiles] = std::uint64_t { m_fileCount } * sizeof(std::uint32_t);
    lengths[fmt::Names] = m_names.size();
    lengths[fmt::ExtraNumbers] = m_extraNumbers.size();
    lengths[fmt::ExtraUpperNames] = m_extraUpperNames.size();
    lengths[fmt::Facts] = m_facts.size();
    lengths[fmt::TypeOffsets] = m_typeOffsets.size();
    return lengths;
}

std::uint64_t NamesIndexBuilder::indexSize(const IndexKey& key) const
{
    std::uint64_t size = sizeof(fmt::Header);
    for (const std::uint64_t length : sectionLengths(key.text().size()))
        size += length + blocksOf(length) * sizeof(std::uint64_t);
    return size;
}

void NamesIndexBuilder::giveUp()
{
    m_fits = false;
    m_fileTexts.release();
    m_folderTexts.release();
    m_directories = {};
    m_firstChild = {};
    m_nextSibling = {};
    m_open = {};
    m_fileCount = 0;
    m_runs.release();
    for (SpillingBuffer* buffer : fileBuffers())
        buffer->release();
    // A catalog read directly has no index to carry its database's facts.
    dropFacts();
    if (m_databaseState == catalogdb::DatabaseState::Belongs)
        m_databaseState = catalogdb::DatabaseState::Unchecked;
}

std::expected<void, platform::Error> NamesIndexBuilder::write(const IndexKey& key, IIndexSink& sink)
{
    const auto body = writeBody(key, sink);
    if (!body)
        return std::unexpected(body.error());
    return writeHeader(*body, key.stamp, m_databaseStamp, sink);
}

std::expected<NamesIndexBuilder::Body, platform::Error> NamesIndexBuilder::writeBody(
    const IndexKey& key, IIndexSink& sink)
{
    static_assert(sizeof(fmt::Header) <= sizeof(Body::header));
    // A catalog an index is not made for gets one that says so, and nothing else.
    m_spent = true;
    const std::string keyBytes = key.text();
    const bool readDirectly = !m_fits;
    if (readDirectly)
        giveUp();
    // The layout is known before a byte is written, so the sections go out in one pass, hashed as
    // they go; the checksums and the header, which come first in the file, are written last.
    fmt::Header header = layOut(keyBytes.size(), readDirectly);
    IndexSectionWriter writer(sink);
    if (auto room = writer.leaveRoom(header.sections[fmt::Key].offset); !room)
        return std::unexpected(room.error());
    writeSections(writer, keyBytes);
    const auto checksums = writer.finish(header.sections[fmt::Checksums].offset);
    if (!checksums)
        return std::unexpected(checksums.error());
    header.checksumsChecksum = *checksums;
    Body body;
    std::memcpy(body.header.data(), &header, sizeof header);
    return body;
}

std::expected<void, platform::Error> NamesIndexBuilder::writeHeader(const Body& body, const platform::FileStamp& stamp,
    const std::optional<platform::FileStamp>& database, IIndexSink& sink)
{
    fmt::Header header;
    std::memcpy(&header, body.header.data(), sizeof header);
    header.device = stamp.device;
    header.inode = stamp.inode;
    header.size = stamp.size;
    header.modified = stamp.modified;
    header.changed = stamp.changed;
    const platform::FileStamp databaseStamp = database.value_or(platform::FileStamp {});
    header.hasDatabase = database ? 1 : 0;
    header.databaseDevice = databaseStamp.device;
    header.databaseInode = databaseStamp.inode;
    header.databaseSize = databaseStamp.size;
    header.databaseModified = databaseStamp.modified;
    header.databaseChanged = databaseStamp.changed;
    header.headerChecksum = XXH3_64bits(&header, offsetof(fmt::Header, headerChecksum));
    return sink.writeAt(0, bytesOf(header));
}

NamesIndexBuilder::FileGroups NamesIndexBuilder::groupFilesByFolder() const
{
    const std::span<const fmt::RunRecord> runs = m_runs.records<fmt::RunRecord>();
    const std::size_t directoryCount = m_directories.size();
    FileGroups groups { std::vector<std::uint32_t>(directoryCount, 0), std::vector<std::uint32_t>(directoryCount, 0),
        std::vector<std::uint32_t>(runs.size()) };
    std::vector<std::uint32_t> runCounts(directoryCount, 0);
    for (std::size_t run = 0; run < runs.size(); ++run) {
        groups.counts[runs[run].directory] += runEnd(runs, run, m_fileCount) - runs[run].firstFile;
        ++runCounts[runs[run].directory];
    }
    std::vector<std::uint32_t> nextRun(directoryCount, 0);
    for (std::size_t d = 1; d < directoryCount; ++d) {
        groups.firsts[d] = groups.firsts[d - 1] + groups.counts[d - 1];
        nextRun[d] = nextRun[d - 1] + runCounts[d - 1];
    }
    for (std::size_t run = 0; run < runs.size(); ++run)
        groups.runs[nextRun[runs[run].directory]++] = static_cast<std::uint32_t>(run);
    return groups;
}

fmt::Header NamesIndexBuilder::layOut(std::uint64_t keyBytes, bool readDirectly) const
{
    fmt::Header header;
    header.magic = fmt::kMagic;
    header.version = fmt::kVersion;
    header.headerSize = sizeof(fmt::Header);
    header.flags = readDirectly ? fmt::kFlagReadDirectly : 0;
    header.databaseState = static_cast<std::uint64_t>(m_databaseState);
    header.directoryCount = m_directories.size();
    header.fileCount = m_fileCount;
    header.firstArchiveDirectory = m_firstArchiveDirectory.value_or(static_cast<std::uint32_t>(m_directories.size()));
    header.firstMemberFile = m_firstMemberFile.value_or(m_fileCount);
    header.separator = static_cast<unsigned char>(m_separator);
    header.blockSize = fmt::kBlockSize;
    const std::array<std::uint64_t, fmt::kSectionCount> lengths = sectionLengths(keyBytes);
    std::uint64_t blocks = 0;
    for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which)
        blocks += blocksOf(lengths[which]);
    std::uint64_t offset = sizeof(fmt::Header);
    header.sections[fmt::Checksums] = { offset, blocks * sizeof(std::uint64_t) };
    offset += header.sections[fmt::Checksums].length;
    for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which) {
        header.sections[which] = { offset, lengths[which] };
        offset += lengths[which];
    }
    header.fileSize = offset;
    return header;
}

void NamesIndexBuilder::writeDirectories(IndexSectionWriter& writer, const FileGroups& groups)
{
    std::vector<fmt::DirectoryRecord> records;
    records.reserve(m_directories.size());
    for (std::size_t d = 0; d < m_directories.size(); ++d) {
        const Directory& directory = m_directories[d];
        records.push_back({ directory.parent, m_firstChild[d], m_nextSibling[d], groups.firsts[d], groups.counts[d], {},
            { directory.title.first, directory.title.second }, { directory.prefix.first, directory.prefix.second } });
    }
    writer.section(bytesOf(records));
    m_directories = {};
    m_firstChild = {};
    m_nextSibling = {};
    m_open = {};
}

void NamesIndexBuilder::writeDirectoryFiles(IndexSectionWriter& writer, const FileGroups& groups)
{
    const std::span<const fmt::RunRecord> runs = m_runs.records<fmt::RunRecord>();
    std::vector<std::uint32_t> numbers;
    numbers.reserve(kFileNumbersAtATime);
    for (const std::uint32_t run : groups.runs) {
        for (std::uint32_t f = runs[run].firstFile; f < runEnd(runs, run, m_fileCount); ++f) {
            numbers.push_back(f);
            if (numbers.size() == kFileNumbersAtATime) {
                writer.append(bytesOf(numbers));
                numbers.clear();
            }
        }
    }
    writer.append(bytesOf(numbers));
    writer.endSection();
}

void NamesIndexBuilder::writeSpilled(IndexSectionWriter& writer, SpillingBuffer& buffer)
{
    if (auto read = buffer.forEachPiece([&](std::string_view piece) { writer.append(piece); }); !read)
        writer.fail(read.error());
    writer.endSection();
    buffer.release();
}

void NamesIndexBuilder::writeSections(IndexSectionWriter& writer, std::string_view keyBytes)
{
    writer.section(keyBytes);
    writer.section(m_fileTexts.bytes());
    m_fileTexts.release();
    writer.section(m_folderTexts.bytes());
    m_folderTexts.release();
    const FileGroups groups = groupFilesByFolder();
    writeDirectories(writer, groups);
    writer.section(m_runs.bytes());
    writeSpilled(writer, m_files);
    writeSpilled(writer, m_nameOffsets);
    writeDirectoryFiles(writer, groups);
    m_runs.release();
    writeSpilled(writer, m_names);
    writeSpilled(writer, m_extraNumbers);
    writeSpilled(writer, m_extraUpperNames);
    writeSpilled(writer, m_facts);
    writeSpilled(writer, m_typeOffsets);
}

} // namespace mellowby::names
