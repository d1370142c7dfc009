#include "names/namesindex.h"

#include "names/handoffqueue.h"
#include "names/namesindexformat.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <thread>
#include <xxhash.h>

#include "catalog/locationtext.h"
#include "catalog/namebytes.h"

namespace mellowby::names {

namespace fmt = indexformat;

namespace {

// An index that would hold more location text than the budget is not made (the catalog is read
// directly).
constexpr std::uint64_t kMaxPrefixBytes = catalog::kMaxLocationBytes;
// What a reader keeps at hand: for each section a run of kRunBlocks blocks, read at once when
// blocks are taken one after another, and kBlocksAtHand single blocks.
constexpr std::uint64_t kRunBlocks = 16;
constexpr std::size_t kBlocksAtHand = 1024;
// A section of no more blocks than this (the size and date texts, mostly) is read whole.
constexpr std::uint64_t kWholeSectionBlocks = 64;
// How many blocks of the names a search reads at a time.
constexpr std::uint64_t kSearchBlocks = 64;
// From how many bytes of names on the names are searched on a thread of their own.
constexpr std::uint64_t kSearchApartFrom = 4 * kSearchBlocks * fmt::kBlockSize;

std::uint64_t blocksOf(std::uint64_t length)
{
    return (length + fmt::kBlockSize - 1) / fmt::kBlockSize;
}

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

// The checksums of the blocks of the sections of an index, fed to it in pieces of any size.
class BlockHasher {
public:
    BlockHasher()
        : m_state(XXH3_createState())
    {
        XXH3_64bits_reset(m_state);
    }
    ~BlockHasher() { XXH3_freeState(m_state); }
    BlockHasher(const BlockHasher&) = delete;
    BlockHasher& operator=(const BlockHasher&) = delete;

    void add(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const std::size_t room = fmt::kBlockSize - m_filled;
            const std::size_t take = std::min(room, bytes.size());
            XXH3_64bits_update(m_state, bytes.data(), take);
            m_filled += take;
            bytes.remove_prefix(take);
            if (m_filled == fmt::kBlockSize)
                endBlock();
        }
    }
    // Ends the block under way: the next section starts a block of its own.
    void endSection()
    {
        if (m_filled > 0)
            endBlock();
    }
    std::vector<std::uint64_t> finish()
    {
        endSection();
        return std::move(m_checksums);
    }

private:
    void endBlock()
    {
        m_checksums.push_back(XXH3_64bits_digest(m_state));
        XXH3_64bits_reset(m_state);
        m_filled = 0;
    }

    XXH3_state_t* m_state;
    std::size_t m_filled = 0;
    std::vector<std::uint64_t> m_checksums;
};

template <typename Value> std::string_view bytesOf(const Value& value)
{
    return { reinterpret_cast<const char*>(&value), sizeof value };
}

template <typename Value> std::string_view bytesOf(const std::vector<Value>& values)
{
    return { reinterpret_cast<const char*>(values.data()), values.size() * sizeof(Value) };
}

std::string keyText(const IndexKey& key)
{
    std::string text = key.dataFolder;
    text += '\0';
    text += key.fileName;
    return text;
}

} // namespace

std::uint32_t NamesIndexBuilder::TextNumbers::find(
    std::string_view texts, std::string_view value, std::uint64_t hash, std::size_t& slot) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (slot = hash & mask; m_slots[slot].offset != fmt::kNone; slot = (slot + 1) & mask) {
        const Slot& entry = m_slots[slot];
        if (entry.hash == hash && entry.length == value.size()
            && texts.substr(entry.offset + sizeof(std::uint32_t), entry.length) == value)
            return entry.offset;
    }
    return fmt::kNone;
}

void NamesIndexBuilder::TextNumbers::add(
    std::uint64_t hash, std::size_t slot, std::uint32_t offset, std::uint32_t length)
{
    m_slots[slot] = { hash, offset, length };
    ++m_used;
}

void NamesIndexBuilder::TextNumbers::reserveOne()
{
    if (m_slots.size() >= 2 * (m_used + 1))
        return;
    // Twice the room, every text placed again.
    std::vector<Slot> slots(std::max<std::size_t>(1024, m_slots.size() * 2), Slot { 0, fmt::kNone, 0 });
    const std::size_t mask = slots.size() - 1;
    for (const Slot& entry : m_slots) {
        if (entry.offset == fmt::kNone)
            continue;
        std::size_t slot = entry.hash & mask;
        while (slots[slot].offset != fmt::kNone)
            slot = (slot + 1) & mask;
        slots[slot] = entry;
    }
    m_slots = std::move(slots);
}

void NamesIndexBuilder::TextNumbers::clear()
{
    m_slots = {};
    m_used = 0;
}

std::uint32_t NamesIndexBuilder::text(std::string_view value)
{
    m_fileTexts.reserveOne();
    const std::uint64_t hash = XXH3_64bits(value.data(), value.size());
    std::size_t slot = 0;
    const std::uint32_t found = m_fileTexts.find(m_texts, value, hash, slot);
    if (found != fmt::kNone)
        return found;
    // Each text once, its length first; offsets beyond 32 bits are not indexed.
    const std::uint64_t offset = m_texts.size();
    if (offset + sizeof(std::uint32_t) + value.size() >= fmt::kNone) {
        giveUp();
        return 0;
    }
    const auto length = static_cast<std::uint32_t>(value.size());
    m_texts.append(reinterpret_cast<const char*>(&length), sizeof length);
    m_texts += value;
    m_fileTexts.add(hash, slot, static_cast<std::uint32_t>(offset), length);
    return static_cast<std::uint32_t>(offset);
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
    std::string prefix;
    catalog::appendLocationLevel(prefix, label, m_separator);
    addDirectory(fmt::kNone, title, std::move(prefix));
}

void NamesIndexBuilder::enterDirectory(std::string_view title)
{
    if (!m_fits)
        return; // no index of entries will be written; the walk goes on without collecting more
    std::string prefix = m_open.back().second;
    catalog::appendLocationLevel(prefix, title, m_separator);
    addDirectory(m_open.back().first, title, std::move(prefix));
}

void NamesIndexBuilder::leaveDirectory()
{
    if (m_fits && m_open.size() > 1)
        m_open.pop_back();
}

void NamesIndexBuilder::addFile(std::string_view name, std::string_view size, std::string_view date)
{
    if (!m_fits)
        return;
    const std::uint32_t sizeNumber = text(size);
    addFile(name, sizeNumber, text(date));
}

void NamesIndexBuilder::addFile(std::string_view name, std::uint32_t size, std::uint32_t date)
{
    if (!m_fits)
        return;
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
}

std::array<std::uint64_t, indexformat::kSectionCount> NamesIndexBuilder::sectionLengths(std::uint64_t keyBytes) const
{
    std::array<std::uint64_t, fmt::kSectionCount> lengths {};
    lengths[fmt::Key] = keyBytes;
    lengths[fmt::FileTexts] = m_texts.size();
    lengths[fmt::FolderTexts] = m_folderTexts.size();
    lengths[fmt::Directories] = m_directories.size() * sizeof(fmt::DirectoryRecord);
    lengths[fmt::DirectoryRuns] = m_runs.size();
    lengths[fmt::Files] = m_files.size();
    lengths[fmt::NameOffsets] = m_nameOffsets.size();
    lengths[fmt::DirectoryFiles] = std::uint64_t { m_fileCount } * sizeof(std::uint32_t);
    lengths[fmt::Names] = m_names.size();
    lengths[fmt::ExtraNumbers] = m_extraNumbers.size();
    lengths[fmt::ExtraUpperNames] = m_extraUpperNames.size();
    return lengths;
}

std::uint64_t NamesIndexBuilder::indexSize(const IndexKey& key) const
{
    std::uint64_t size = sizeof(fmt::Header);
    for (const std::uint64_t length : sectionLengths(keyText(key).size()))
        size += length + blocksOf(length) * sizeof(std::uint64_t);
    return size;
}

void NamesIndexBuilder::giveUp()
{
    m_fits = false;
    m_texts = {};
    m_fileTexts.clear();
    m_folderTexts.release();
    m_directories = {};
    m_firstChild = {};
    m_nextSibling = {};
    m_open = {};
    m_fileCount = 0;
    for (GrowingBuffer* buffer : { &m_names, &m_nameOffsets, &m_files, &m_runs, &m_extraNumbers, &m_extraUpperNames })
        buffer->release();
}

std::expected<void, platform::Error> NamesIndexBuilder::write(const IndexKey& key, IIndexSink& sink)
{
    const auto body = writeBody(key, sink);
    if (!body)
        return std::unexpected(body.error());
    return writeHeader(*body, key.stamp, sink);
}

std::expected<NamesIndexBuilder::Body, platform::Error> NamesIndexBuilder::writeBody(
    const IndexKey& key, IIndexSink& sink)
{
    static_assert(sizeof(fmt::Header) <= sizeof(Body::header));
    // A catalog an index is not made for gets one that says so, and nothing else.
    m_spent = true;
    const std::string keyBytes = keyText(key);
    const bool readDirectly = !m_fits;
    if (readDirectly)
        giveUp();
    const std::size_t fileCount = m_fileCount;
    const std::size_t directoryCount = m_directories.size();

    // Where each folder's files start in DirectoryFiles, and each file's place there.
    const std::span<const fmt::RunRecord> runs = m_runs.records<fmt::RunRecord>();
    const auto runEnd = [&](std::size_t run) {
        return run + 1 < runs.size() ? runs[run + 1].firstFile : static_cast<std::uint32_t>(fileCount);
    };
    std::vector<std::uint32_t> fileCounts(directoryCount, 0);
    for (std::size_t run = 0; run < runs.size(); ++run)
        fileCounts[runs[run].directory] += runEnd(run) - runs[run].firstFile;
    std::vector<std::uint32_t> firstFiles(directoryCount, 0);
    for (std::size_t d = 1; d < directoryCount; ++d)
        firstFiles[d] = firstFiles[d - 1] + fileCounts[d - 1];
    std::vector<std::uint32_t> grouped(fileCount);
    {
        std::vector<std::uint32_t> next = firstFiles;
        for (std::size_t run = 0; run < runs.size(); ++run) {
            for (std::uint32_t f = runs[run].firstFile; f < runEnd(run); ++f)
                grouped[next[runs[run].directory]++] = f;
        }
    }

    // The layout is known before a byte is written, so the sections go out in one pass, hashed as
    // they go; the checksums and the header, which come first in the file, are written last.
    fmt::Header header;
    header.magic = fmt::kMagic;
    header.version = fmt::kVersion;
    header.headerSize = sizeof(fmt::Header);
    header.flags = readDirectly ? fmt::kFlagReadDirectly : 0;
    header.directoryCount = directoryCount;
    header.fileCount = fileCount;
    header.separator = static_cast<unsigned char>(m_separator);
    header.blockSize = fmt::kBlockSize;
    const std::array<std::uint64_t, fmt::kSectionCount> lengths = sectionLengths(keyBytes.size());
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

    std::optional<platform::Error> failure;
    BlockHasher hasher;
    const auto out = [&](std::string_view bytes) {
        if (failure)
            return;
        hasher.add(bytes);
        if (auto written = sink.write(bytes); !written)
            failure = written.error();
    };
    const auto section = [&](std::string_view bytes) {
        out(bytes);
        hasher.endSection();
    };
    // Room for the header and the checksums, written over at the end.
    const std::string room(header.sections[fmt::Key].offset, '\0');
    if (auto written = sink.write(room); !written)
        return std::unexpected(written.error());
    section(keyBytes);
    section(m_texts);
    section(m_folderTexts.bytes());
    {
        std::vector<fmt::DirectoryRecord> records;
        records.reserve(directoryCount);
        for (std::size_t d = 0; d < directoryCount; ++d) {
            const Directory& directory = m_directories[d];
            records.push_back({ directory.parent, m_firstChild[d], m_nextSibling[d], firstFiles[d], fileCounts[d], {},
                { directory.title.first, directory.title.second },
                { directory.prefix.first, directory.prefix.second } });
        }
        section(bytesOf(records));
    }
    m_folderTexts.release();
    m_directories = {};
    m_firstChild = {};
    m_nextSibling = {};
    section(m_runs.bytes());
    m_runs.release();
    section(m_files.bytes());
    m_files.release();
    section(m_nameOffsets.bytes());
    m_nameOffsets.release();
    section(bytesOf(grouped));
    grouped = {};
    section(m_names.bytes());
    m_names.release();
    section(m_extraNumbers.bytes());
    m_extraNumbers.release();
    section(m_extraUpperNames.bytes());
    m_extraUpperNames.release();
    m_texts = {};
    m_fileTexts.clear();
    m_open = {};
    if (failure)
        return std::unexpected(*failure);

    const std::vector<std::uint64_t> checksums = hasher.finish();
    header.checksumsChecksum = XXH3_64bits(checksums.data(), checksums.size() * sizeof(std::uint64_t));
    if (auto written = sink.writeAt(header.sections[fmt::Checksums].offset, bytesOf(checksums)); !written)
        return std::unexpected(written.error());
    Body body;
    std::memcpy(body.header.data(), &header, sizeof header);
    return body;
}

std::expected<void, platform::Error> NamesIndexBuilder::writeHeader(
    const Body& body, const platform::FileStamp& stamp, IIndexSink& sink)
{
    fmt::Header header;
    std::memcpy(&header, body.header.data(), sizeof header);
    header.device = stamp.device;
    header.inode = stamp.inode;
    header.size = stamp.size;
    header.modified = stamp.modified;
    header.changed = stamp.changed;
    header.headerChecksum = XXH3_64bits(&header, offsetof(fmt::Header, headerChecksum));
    return sink.writeAt(0, bytesOf(header));
}

// The file of an index with what its header says, and the blocks last read from it: for each
// section the run of blocks last read one after another, and a table of single blocks read where
// they were needed (texts that every row looks up, folders a listing goes through).
class NamesIndex::Reader {
public:
    Reader(std::shared_ptr<const platform::IReadableFile> file, const fmt::Header& header,
        std::vector<std::uint64_t> checksums)
        : m_file(std::move(file))
        , m_header(header)
        , m_checksums(std::make_shared<const std::vector<std::uint64_t>>(std::move(checksums)))
    {
        std::uint64_t first = 0;
        for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which) {
            m_firstBlock[which] = first;
            first += blocksOf(header.sections[which].length);
        }
    }

    // A reader of the same file with blocks of its own at hand, for another thread.
    std::shared_ptr<Reader> another() const
    {
        auto reader = std::make_shared<Reader>();
        reader->m_file = m_file;
        reader->m_header = m_header;
        reader->m_checksums = m_checksums;
        reader->m_firstBlock = m_firstBlock;
        return reader;
    }
    Reader() = default;

    const fmt::Header& header() const { return m_header; }
    std::uint64_t length(std::size_t section) const { return m_header.sections[section].length; }

    // Reads count blocks of section from block first into into and checks them; the bytes read.
    std::size_t read(std::size_t section, std::uint64_t first, std::uint64_t count, char* into) const
    {
        const fmt::SectionPlace& place = m_header.sections[section];
        const std::uint64_t blocks = blocksOf(place.length);
        if (first >= blocks || count > blocks - first)
            throw IndexDamaged {};
        const std::uint64_t start = first * fmt::kBlockSize;
        const auto size = static_cast<std::size_t>(std::min(count * fmt::kBlockSize, place.length - start));
        const auto got = m_file->readAt(place.offset + start, std::span<char>(into, size));
        if (!got || *got != size)
            throw IndexDamaged {};
        for (std::uint64_t block = 0; block < count; ++block) {
            const std::size_t begin = block * fmt::kBlockSize;
            const std::size_t length = std::min<std::size_t>(fmt::kBlockSize, size - begin);
            if (XXH3_64bits(into + begin, length) != (*m_checksums)[m_firstBlock[section] + first + block])
                throw IndexDamaged {};
        }
        return size;
    }

    // The bytes [offset, offset + length) of section, read and checked; valid until the next read.
    std::string_view bytes(std::size_t section, std::uint64_t offset, std::uint64_t length)
    {
        if (offset > this->length(section) || length > this->length(section) - offset)
            throw IndexDamaged {};
        if (length == 0)
            return {};
        const std::uint64_t first = offset / fmt::kBlockSize;
        const std::uint64_t last = (offset + length - 1) / fmt::kBlockSize;
        Run& run = m_runs[section];
        if (run.first <= first && last < run.first + run.count)
            return { run.bytes.get() + (offset - run.first * fmt::kBlockSize), length };
        const std::uint64_t blocks = blocksOf(this->length(section));
        if (first == m_nextBlock[section] || blocks <= kWholeSectionBlocks) {
            // Blocks taken one after another are read a run at a time, a small section whole.
            const bool whole = blocks <= kWholeSectionBlocks;
            const std::uint64_t from = whole ? 0 : first;
            const std::uint64_t count = whole ? blocks : std::min(std::max(last + 1 - from, kRunBlocks), blocks - from);
            if (count > run.room) {
                run.bytes = std::make_unique_for_overwrite<char[]>(count * fmt::kBlockSize);
                run.room = count;
            }
            run.count = 0; // until it is read whole
            read(section, from, count, run.bytes.get());
            run.first = from;
            run.count = count;
            m_nextBlock[section] = from + count;
            return { run.bytes.get() + (offset - from * fmt::kBlockSize), length };
        }
        if (first == last) {
            const std::uint64_t id = m_firstBlock[section] + first;
            Block& block = m_blocks[id % kBlocksAtHand];
            if (block.id != id) {
                if (!block.bytes)
                    block.bytes = std::make_unique_for_overwrite<char[]>(fmt::kBlockSize);
                block.id = kNoBlock; // until it is read whole
                read(section, first, 1, block.bytes.get());
                block.id = id;
            }
            return { block.bytes.get() + offset % fmt::kBlockSize, length };
        }
        // Across blocks taken out of turn: read apart, the run stays as it is.
        m_joined.resize((last - first + 1) * fmt::kBlockSize);
        read(section, first, last - first + 1, m_joined.data());
        return std::string_view(m_joined).substr(offset - first * fmt::kBlockSize, length);
    }

    // Whether section is read whole, and stays so.
    bool holdsWhole(std::size_t section) const
    {
        return m_runs[section].first == 0 && m_runs[section].count == blocksOf(length(section))
            && m_runs[section].count <= kWholeSectionBlocks;
    }

    // Copies the bytes [offset, offset + length) of section into text.
    void copy(std::size_t section, std::uint64_t offset, std::uint64_t length, std::string& text)
    {
        text.assign(bytes(section, offset, length));
    }

    // Copies the text of section that starts at offset and ends before a NUL into text.
    void copyTerminated(std::size_t section, std::uint64_t offset, std::string& text)
    {
        const std::uint64_t rest = offset < length(section) ? length(section) - offset : 0;
        // Most end in the block they start in, nearly all in the run that follows, none after the
        // longest name.
        const std::uint64_t within = offset % fmt::kBlockSize;
        for (const std::uint64_t reach :
            { fmt::kBlockSize - within, kRunBlocks * fmt::kBlockSize - within, fmt::kMaxNameBytes + 1 }) {
            const std::string_view found = bytes(section, offset, std::min(reach, rest));
            if (const std::size_t end = found.find('\0'); end != std::string_view::npos) {
                text.assign(found.substr(0, end));
                return;
            }
            if (reach >= rest)
                break;
        }
        throw IndexDamaged {};
    }

private:
    static constexpr std::uint64_t kNoBlock = std::numeric_limits<std::uint64_t>::max();
    struct Run {
        std::uint64_t first = 0;
        std::uint64_t count = 0;
        std::uint64_t room = 0;
        std::unique_ptr<char[]> bytes;
    };
    struct Block {
        std::uint64_t id = kNoBlock; // over all sections
        std::unique_ptr<char[]> bytes;
    };

    std::shared_ptr<const platform::IReadableFile> m_file;
    fmt::Header m_header;
    std::shared_ptr<const std::vector<std::uint64_t>> m_checksums;
    std::array<std::uint64_t, fmt::kSectionCount> m_firstBlock {};
    std::array<std::uint64_t, fmt::kSectionCount> m_nextBlock {};
    std::array<Run, fmt::kSectionCount> m_runs;
    std::vector<Block> m_blocks = std::vector<Block>(kBlocksAtHand);
    std::string m_joined;
};

std::expected<NamesIndex, std::string> NamesIndex::open(
    std::shared_ptr<const platform::IReadableFile> file, const IndexKey& key)
{
    fmt::Header header;
    const auto got = file->readAt(0, std::span<char>(reinterpret_cast<char*>(&header), sizeof header));
    if (!got || *got != sizeof header)
        return std::unexpected("the index is shorter than its header");
    if (header.magic != fmt::kMagic || header.version != fmt::kVersion || header.headerSize != sizeof header)
        return std::unexpected("the index is of another layout");
    if (header.headerChecksum != XXH3_64bits(&header, offsetof(fmt::Header, headerChecksum)))
        return std::unexpected("the index's header is damaged");
    if (header.fileSize != file->stamp().size)
        return std::unexpected("the index is cut short or too long");
    const platform::FileStamp stamp { header.device, header.inode, header.size, header.modified, header.changed };
    if (stamp != key.stamp)
        return std::unexpected("the catalog has changed since the index was made");

    // The sections follow one another to the end of the file, each of the size its records make.
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
        && sections[fmt::Files].length == header.fileCount * sizeof(fmt::FileRecord)
        && sections[fmt::NameOffsets].length == header.fileCount * sizeof(std::uint32_t)
        && sections[fmt::DirectoryFiles].length == header.fileCount * sizeof(std::uint32_t)
        && sections[fmt::Directories].length == header.directoryCount * sizeof(fmt::DirectoryRecord)
        && sections[fmt::DirectoryRuns].length % sizeof(fmt::RunRecord) == 0
        && sections[fmt::ExtraNumbers].length % sizeof(std::uint32_t) == 0;
    if (!sound)
        return std::unexpected("the index's header is damaged");

    std::vector<std::uint64_t> checksums(blocks);
    const std::size_t checksumBytes = checksums.size() * sizeof(std::uint64_t);
    const auto read = file->readAt(
        sections[fmt::Checksums].offset, std::span<char>(reinterpret_cast<char*>(checksums.data()), checksumBytes));
    if (!read || *read != checksumBytes || XXH3_64bits(checksums.data(), checksumBytes) != header.checksumsChecksum)
        return std::unexpected("the index's checksums are damaged");

    NamesIndex index;
    index.m_reader = std::make_shared<Reader>(std::move(file), header, std::move(checksums));
    index.m_texts = std::make_shared<Texts>();
    try {
        const std::string expected = keyText(key);
        if (sections[fmt::Key].length != expected.size()
            || index.m_reader->bytes(fmt::Key, 0, expected.size()) != expected)
            return std::unexpected("the index was made for another catalog");
    } catch (const IndexDamaged&) {
        return std::unexpected("the index is damaged");
    }
    return index;
}

template <typename Record> Record NamesIndex::record(std::size_t section, std::uint64_t number) const
{
    if (number >= m_reader->length(section) / sizeof(Record))
        throw IndexDamaged {};
    const std::string_view bytes = m_reader->bytes(section, number * sizeof(Record), sizeof(Record));
    Record record;
    std::memcpy(&record, bytes.data(), sizeof record);
    return record;
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
    const auto directory = record<fmt::DirectoryRecord>(fmt::Directories, number);
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
        numbers.push_back(record<std::uint32_t>(fmt::DirectoryFiles, directory.firstFile + n));
    return numbers;
}

NamesIndex::FileView NamesIndex::file(std::uint32_t number) const
{
    const auto offset = record<std::uint32_t>(fmt::NameOffsets, number);
    Texts& texts = *m_texts;
    m_reader->copyTerminated(fmt::Names, offset, texts.name);
    const FileView sizeAndDate = textsOf(number);
    return { texts.name, sizeAndDate.size, sizeAndDate.date };
}

NamesIndex::FileView NamesIndex::textsOf(std::uint32_t number) const
{
    const auto file = record<fmt::FileRecord>(fmt::Files, number);
    Texts& texts = *m_texts;
    const std::string_view size = fileText(file.size, texts.size);
    return { {}, size, fileText(file.date, texts.date) };
}

std::vector<std::uint32_t> NamesIndex::extraHits(std::string_view needle) const
{
    // Few, and short: read whole.
    const std::uint64_t count = m_reader->length(fmt::ExtraNumbers) / sizeof(std::uint32_t);
    const std::string_view names = m_reader->bytes(fmt::ExtraUpperNames, 0, m_reader->length(fmt::ExtraUpperNames));
    std::vector<std::uint32_t> hits;
    std::uint64_t index = 0;
    std::size_t start = 0;
    while (start < names.size()) {
        const std::size_t end = names.find('\0', start);
        if (end == std::string_view::npos || index >= count)
            throw IndexDamaged {};
        if (names.substr(start, end - start).find(needle) != std::string_view::npos)
            hits.push_back(record<std::uint32_t>(fmt::ExtraNumbers, index));
        ++index;
        start = end + 1;
    }
    if (index != count)
        throw IndexDamaged {};
    return hits;
}

void NamesIndex::findNames(std::string_view needle, const std::function<bool(std::span<const Hit>)>& found) const
{
    if (m_reader->length(fmt::Names) < kSearchApartFrom) {
        scanNames(needle, found);
        return;
    }
    // Names are read and searched on a thread of their own while this one makes rows of the hits.
    NamesIndex scanner = *this;
    scanner.m_reader = m_reader->another();
    scanner.m_texts = std::make_shared<Texts>();
    struct Batch {
        std::vector<Hit> hits;
        std::string names;
    };
    HandoffQueue<Batch> queue(4);
    std::thread worker([&] {
        try {
            scanner.scanNames(needle, [&](std::span<const Hit> hits) {
                auto given = queue.takeBack();
                Batch batch = given ? std::move(*given) : Batch {};
                batch.hits.assign(hits.begin(), hits.end());
                batch.names.clear();
                for (const Hit& hit : hits)
                    batch.names.append(hit.name).append(hit.size).append(hit.date);
                return queue.push(std::move(batch));
            });
            queue.finish();
        } catch (...) {
            queue.finish(std::current_exception());
        }
    });
    try {
        while (auto batch = queue.pop()) {
            std::size_t at = 0;
            const std::string_view texts = batch->names;
            for (Hit& hit : batch->hits) {
                for (std::string_view* text : { &hit.name, &hit.size, &hit.date }) {
                    const std::size_t size = text->size();
                    *text = texts.substr(at, size);
                    at += size;
                }
            }
            if (!found(batch->hits))
                break;
            queue.giveBack(std::move(*batch));
        }
    } catch (...) {
        queue.stop();
        worker.join();
        throw;
    }
    queue.stop();
    worker.join();
}

void NamesIndex::scanNames(std::string_view needle, const std::function<bool(std::span<const Hit>)>& found) const
{
    if (needle.find('\0') != std::string_view::npos)
        return;
    const std::uint64_t files = fileCount();
    const std::uint64_t directories = directoryCount();
    const std::uint64_t extras = m_reader->length(fmt::ExtraNumbers) / sizeof(std::uint32_t);
    const std::uint64_t runs = m_reader->length(fmt::DirectoryRuns) / sizeof(fmt::RunRecord);
    // The names listed apart are searched in their upper-cased form, and skipped among the others.
    const std::vector<std::uint32_t> extraFound = extraHits(needle);
    std::size_t nextExtraFound = 0;
    std::uint64_t nextExtra = 0;
    std::uint64_t extraNumber = extras > 0 ? record<std::uint32_t>(fmt::ExtraNumbers, 0) : fmt::kNone;
    // The folder of each hit, from the runs of files in one folder, walked as the hits go on.
    std::uint64_t run = 0;
    fmt::RunRecord current { 0, fmt::kNone };
    fmt::RunRecord next = runs > 0 ? record<fmt::RunRecord>(fmt::DirectoryRuns, 0) : fmt::RunRecord { fmt::kNone, 0 };
    const auto folderOf = [&](std::uint64_t number) {
        while (next.firstFile <= number) {
            if (next.firstFile < current.firstFile || next.directory >= directories
                || (current.directory == fmt::kNone && next.firstFile != 0))
                throw IndexDamaged {};
            current = next;
            next = ++run < runs ? record<fmt::RunRecord>(fmt::DirectoryRuns, run) : fmt::RunRecord { fmt::kNone, 0 };
        }
        if (current.directory == fmt::kNone)
            throw IndexDamaged {};
        return current.directory;
    };

    std::vector<Hit> hits;
    std::deque<std::string> extraNames; // names of hits listed apart, read from Names
    // The size and date texts of the hits of a batch, one after another.
    std::string hitTexts;
    std::vector<std::pair<std::size_t, std::size_t>> hitTextSizes;
    const auto addHit = [&](std::uint32_t hit, std::uint32_t directory, std::string_view name) {
        const FileView texts = textsOf(hit);
        hitTexts.append(texts.size).append(texts.date);
        hitTextSizes.emplace_back(texts.size.size(), texts.date.size());
        hits.push_back({ hit, directory, name, {}, {} });
    };
    const auto giveHits = [&] {
        std::size_t at = 0;
        for (std::size_t i = 0; i < hits.size(); ++i) {
            hits[i].size = std::string_view(hitTexts).substr(at, hitTextSizes[i].first);
            at += hitTextSizes[i].first;
            hits[i].date = std::string_view(hitTexts).substr(at, hitTextSizes[i].second);
            at += hitTextSizes[i].second;
        }
        const bool more = found(hits);
        hits.clear();
        extraNames.clear();
        hitTexts.clear();
        hitTextSizes.clear();
        return more;
    };
    const auto addExtrasBefore = [&](std::uint64_t number) {
        for (; nextExtraFound < extraFound.size() && extraFound[nextExtraFound] < number; ++nextExtraFound) {
            const std::uint32_t extra = extraFound[nextExtraFound];
            if (extra >= files)
                throw IndexDamaged {};
            const std::uint32_t directory = folderOf(extra);
            Texts& texts = *m_texts;
            m_reader->copyTerminated(fmt::Names, record<std::uint32_t>(fmt::NameOffsets, extra), texts.name);
            addHit(extra, directory, extraNames.emplace_back(texts.name));
        }
    };

    const std::uint64_t blocks = blocksOf(m_reader->length(fmt::Names));
    // Blocks read a batch at a time, after what is left of the name the previous batch cut, and
    // the same upper-cased in ASCII, where the needle is looked for.
    constexpr std::size_t kBatch = kSearchBlocks * fmt::kBlockSize;
    constexpr std::size_t kCarriedRoom = 4096;
    std::size_t room = 0;
    std::unique_ptr<char[]> work;
    std::unique_ptr<char[]> upper;
    std::size_t carried = 0;
    std::uint64_t number = 0;
    for (std::uint64_t block = 0; block < blocks; block += kSearchBlocks) {
        if (room < carried + kBatch) {
            // Room for a batch after the longest name the batches cut, most of the time.
            room = std::max(carried, kCarriedRoom) + kBatch;
            auto grown = std::make_unique_for_overwrite<char[]>(room);
            if (carried > 0)
                std::memcpy(grown.get(), work.get(), carried);
            work = std::move(grown);
            upper = std::make_unique_for_overwrite<char[]>(room);
        }
        const std::size_t size
            = m_reader->read(fmt::Names, block, std::min(kSearchBlocks, blocks - block), work.get() + carried);
        const char* const begin = work.get();
        const char* const filled = begin + carried + size;
        // Whole names only: up to the last NUL.
        const char* end = filled;
        while (end != begin && end[-1] != '\0')
            --end;
        const auto whole = static_cast<std::size_t>(end - begin);
        catalog::copyUpperAscii(begin, end, upper.get());
        const char* const upperBegin = upper.get();
        const char* const upperEnd = upperBegin + whole;
        const char* position = upperBegin;
        while (position != upperEnd) {
            const char* const at = catalog::findBytes(position, upperEnd, needle);
            if (at == nullptr) {
                number += catalog::countNuls(position, upperEnd);
                break;
            }
            const char* const nameStart = [&] {
                const char* start = at;
                while (start != upperBegin && start[-1] != '\0')
                    --start;
                return start;
            }();
            number += catalog::countNuls(position, at);
            if (number >= files)
                throw IndexDamaged {};
            const char* const nameEnd
                = static_cast<const char*>(std::memchr(at, '\0', static_cast<std::size_t>(upperEnd - at)));
            while (extraNumber < number) {
                if (++nextExtra < extras) {
                    const auto following = record<std::uint32_t>(fmt::ExtraNumbers, nextExtra);
                    if (following <= extraNumber)
                        throw IndexDamaged {};
                    extraNumber = following;
                } else {
                    extraNumber = fmt::kNone;
                }
            }
            // One row per file, however often its name holds the needle; none for a name listed
            // apart, whose upper-cased form decides.
            if (extraNumber != number) {
                addExtrasBefore(number);
                const std::uint32_t directory = folderOf(number);
                addHit(static_cast<std::uint32_t>(number), directory,
                    std::string_view(begin + (nameStart - upperBegin), static_cast<std::size_t>(nameEnd - nameStart)));
            }
            position = nameEnd + 1;
            ++number;
        }
        if (!hits.empty() && !giveHits())
            return;
        carried = static_cast<std::size_t>(filled - end);
        if (carried > fmt::kMaxNameBytes)
            throw IndexDamaged {};
        std::memmove(work.get(), end, carried);
    }
    if (carried != 0 || number != files)
        throw IndexDamaged {};
    addExtrasBefore(files);
    if (!hits.empty())
        (void)giveHits();
}

} // namespace mellowby::names
