#include "catalog/namesindex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <xxhash.h>

#include "catalog/locationtext.h"
#include "catalog/namesindexformat.h"

namespace mellowby::catalog {

namespace fmt = indexformat;

namespace {

// The texts the locations of a catalog's folders begin with grow with the square of its depth; an
// index that would hold more of them than this is not made (the catalog is read directly).
constexpr std::uint64_t kMaxPrefixBytes = 256ull << 20;
// What a reader keeps at hand: for each section a run of kRunBlocks blocks, read at once when
// blocks are taken one after another, and kBlocksAtHand single blocks.
constexpr std::uint64_t kRunBlocks = 16;
constexpr std::size_t kBlocksAtHand = 1024;
// How many blocks of the names a search reads at a time.
constexpr std::uint64_t kSearchBlocks = 64;

std::uint64_t blocksOf(std::uint64_t length)
{
    return (length + fmt::kBlockSize - 1) / fmt::kBlockSize;
}

// The number of NUL bytes in [begin, end), eight at a time.
std::uint64_t countNuls(const char* begin, const char* end)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    std::uint64_t count = 0;
    for (; end - begin >= 8; begin += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, begin, sizeof word);
        // The top bit of each byte that is zero, and of no other; then those bits added up.
        const std::uint64_t zeroTops = ~(((word & kLow7) + kLow7) | word | kLow7);
        count += ((zeroTops >> 7) * 0x0101010101010101ull) >> 56;
    }
    for (; begin != end; ++begin)
        count += *begin == '\0' ? 1 : 0;
    return count;
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

std::uint32_t NamesIndexBuilder::TextNumbers::find(std::string_view value, std::uint64_t hash, std::size_t& slot) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (slot = hash & mask; m_slots[slot].number != fmt::kNone; slot = (slot + 1) & mask) {
        const Slot& entry = m_slots[slot];
        if (entry.hash == hash && entry.length == value.size()
            && std::string_view(m_texts).substr(entry.offset, entry.length) == value)
            return entry.number;
    }
    return fmt::kNone;
}

void NamesIndexBuilder::TextNumbers::add(
    std::string_view value, std::uint64_t hash, std::size_t slot, std::uint32_t number)
{
    m_slots[slot] = { hash, number, static_cast<std::uint32_t>(value.size()), m_texts.size() };
    m_texts += value;
    ++m_used;
}

void NamesIndexBuilder::TextNumbers::reserveOne()
{
    if (m_slots.size() >= 2 * (m_used + 1))
        return;
    // Twice the room, every text placed again.
    std::vector<Slot> slots(std::max<std::size_t>(1024, m_slots.size() * 2), Slot { 0, fmt::kNone, 0, 0 });
    const std::size_t mask = slots.size() - 1;
    for (const Slot& entry : m_slots) {
        if (entry.number == fmt::kNone)
            continue;
        std::size_t slot = entry.hash & mask;
        while (slots[slot].number != fmt::kNone)
            slot = (slot + 1) & mask;
        slots[slot] = entry;
    }
    m_slots = std::move(slots);
}

void NamesIndexBuilder::TextNumbers::clear()
{
    m_slots = {};
    m_used = 0;
    m_texts = {};
}

std::uint32_t NamesIndexBuilder::numberOf(TextNumbers& numbers, std::string_view value)
{
    numbers.reserveOne();
    const std::uint64_t hash = XXH3_64bits(value.data(), value.size());
    std::size_t slot = 0;
    const std::uint32_t found = numbers.find(value, hash, slot);
    if (found != fmt::kNone)
        return found;
    const std::uint32_t number = newText(value);
    numbers.add(value, hash, slot, number);
    return number;
}

std::uint32_t NamesIndexBuilder::newText(std::string_view value)
{
    if (m_textPlaces.size() >= fmt::kNone - 1) {
        giveUp();
        return 0;
    }
    const auto number = static_cast<std::uint32_t>(m_textPlaces.size());
    m_textPlaces.emplace_back(m_texts.size(), value.size());
    m_texts += value;
    return number;
}

std::uint32_t NamesIndexBuilder::text(std::string_view value)
{
    return numberOf(m_fileTexts, value);
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
    m_separator = locationSeparatorFor(label);
    std::string prefix;
    appendLocationLevel(prefix, label, m_separator);
    addDirectory(fmt::kNone, title, std::move(prefix));
}

void NamesIndexBuilder::enterDirectory(std::string_view title)
{
    if (!m_fits)
        return; // no index of entries will be written; the walk goes on without collecting more
    std::string prefix = m_open.back().second;
    appendLocationLevel(prefix, title, m_separator);
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
    if (m_files.size() / sizeof(fmt::FileRecord) >= fmt::kNone - 1 || name.size() > fmt::kMaxNameBytes
        || upper.size() > fmt::kMaxNameBytes || m_names.size() + name.size() >= fmt::kNone) {
        giveUp();
        return;
    }
    m_files.appendRecord(
        fmt::FileRecord { static_cast<std::uint32_t>(m_names.size()), m_open.back().first, size, date });
    m_names.append(name);
    m_names.append(std::string_view("", 1));
    m_upperNames.append(upper);
    m_upperNames.append(std::string_view("", 1));
}

std::uint64_t NamesIndexBuilder::indexSize(const IndexKey& key) const
{
    const std::uint64_t files = m_files.size() / sizeof(fmt::FileRecord);
    const std::array<std::uint64_t, fmt::kSectionCount> lengths { 0, keyText(key).size(), m_texts.size(),
        m_textPlaces.size() * sizeof(fmt::TextPlace), m_folderTexts.size(),
        m_directories.size() * sizeof(fmt::DirectoryRecord), m_files.size(), files * sizeof(std::uint32_t),
        m_upperNames.size(), m_names.size() };
    std::uint64_t size = sizeof(fmt::Header);
    for (const std::uint64_t length : lengths)
        size += length + blocksOf(length) * sizeof(std::uint64_t);
    return size;
}

void NamesIndexBuilder::giveUp()
{
    m_fits = false;
    m_texts = {};
    m_textPlaces = {};
    m_fileTexts.clear();
    m_folderTexts.release();
    m_directories = {};
    m_firstChild = {};
    m_nextSibling = {};
    m_open = {};
    m_names.release();
    m_upperNames.release();
    m_files.release();
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
    const std::span<fmt::FileRecord> files = m_files.records<fmt::FileRecord>();
    const std::size_t fileCount = files.size();
    const std::size_t directoryCount = m_directories.size();

    // Where each folder's files start in DirectoryFiles, and each file's place there.
    std::vector<std::uint32_t> fileCounts(directoryCount, 0);
    for (const fmt::FileRecord& file : files)
        ++fileCounts[file.directory];
    std::vector<std::uint32_t> firstFiles(directoryCount, 0);
    for (std::size_t d = 1; d < directoryCount; ++d)
        firstFiles[d] = firstFiles[d - 1] + fileCounts[d - 1];
    std::vector<std::uint32_t> grouped(fileCount);
    {
        std::vector<std::uint32_t> next = firstFiles;
        for (std::size_t f = 0; f < fileCount; ++f)
            grouped[next[files[f].directory]++] = static_cast<std::uint32_t>(f);
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
    std::array<std::uint64_t, fmt::kSectionCount> lengths {};
    lengths[fmt::Key] = keyBytes.size();
    lengths[fmt::FileTexts] = m_texts.size();
    lengths[fmt::FileTextTable] = m_textPlaces.size() * sizeof(fmt::TextPlace);
    lengths[fmt::FolderTexts] = m_folderTexts.size();
    lengths[fmt::Directories] = directoryCount * sizeof(fmt::DirectoryRecord);
    lengths[fmt::Files] = m_files.size();
    lengths[fmt::DirectoryFiles] = grouped.size() * sizeof(std::uint32_t);
    lengths[fmt::UpperNames] = m_upperNames.size();
    lengths[fmt::Names] = m_names.size();
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
    {
        std::vector<fmt::TextPlace> table;
        table.reserve(m_textPlaces.size());
        for (const auto& [at, length] : m_textPlaces)
            table.push_back({ at, length });
        section(bytesOf(table));
    }
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
    section(m_files.bytes());
    section(bytesOf(grouped));
    m_textPlaces = {};
    m_folderTexts.release();
    m_directories = {};
    m_firstChild = {};
    m_nextSibling = {};
    m_files.release();
    grouped = {};
    section(m_upperNames.bytes());
    m_upperNames.release();
    section(m_names.bytes());
    m_names.release();
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
        , m_checksums(std::move(checksums))
    {
        std::uint64_t first = 0;
        for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which) {
            m_firstBlock[which] = first;
            first += blocksOf(header.sections[which].length);
        }
    }

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
            if (XXH3_64bits(into + begin, length) != m_checksums[m_firstBlock[section] + first + block])
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
        if (first == last && first != m_nextBlock[section]) {
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
        // Blocks taken one after another are read a run at a time.
        std::uint64_t count = last - first + 1;
        if (first == m_nextBlock[section])
            count = std::min(std::max(count, kRunBlocks), blocksOf(this->length(section)) - first);
        if (count > run.room) {
            run.bytes = std::make_unique_for_overwrite<char[]>(count * fmt::kBlockSize);
            run.room = count;
        }
        run.count = 0; // until it is read whole
        read(section, first, count, run.bytes.get());
        run.first = first;
        run.count = count;
        m_nextBlock[section] = first + count;
        return { run.bytes.get() + (offset - first * fmt::kBlockSize), length };
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
    std::vector<std::uint64_t> m_checksums;
    std::array<std::uint64_t, fmt::kSectionCount> m_firstBlock {};
    std::array<std::uint64_t, fmt::kSectionCount> m_nextBlock {};
    std::array<Run, fmt::kSectionCount> m_runs;
    std::vector<Block> m_blocks = std::vector<Block>(kBlocksAtHand);
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
        && sections[fmt::Directories].length == header.directoryCount * sizeof(fmt::DirectoryRecord)
        && sections[fmt::DirectoryFiles].length == header.fileCount * sizeof(std::uint32_t)
        && sections[fmt::FileTextTable].length % sizeof(fmt::TextPlace) == 0;
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

void NamesIndex::copyFileText(std::uint32_t number, std::string& text) const
{
    const auto place = record<fmt::TextPlace>(fmt::FileTextTable, number);
    m_reader->copy(fmt::FileTexts, place.offset, place.length, text);
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
    const auto file = record<fmt::FileRecord>(fmt::Files, number);
    Texts& texts = *m_texts;
    m_reader->copyTerminated(fmt::Names, file.name, texts.name);
    copyFileText(file.size, texts.size);
    copyFileText(file.date, texts.date);
    return { texts.name, texts.size, texts.date, file.directory };
}

void NamesIndex::findNames(std::string_view needle, std::vector<std::uint32_t>& hits) const
{
    if (needle.empty() || needle.find('\0') != std::string_view::npos)
        return;
    const std::uint64_t files = fileCount();
    const std::uint64_t blocks = blocksOf(m_reader->length(fmt::UpperNames));
    // Blocks read a batch at a time, after what is left of the name the previous batch cut.
    constexpr std::size_t kBatch = kSearchBlocks * fmt::kBlockSize;
    std::size_t room = 0;
    std::unique_ptr<char[]> work;
    std::size_t carried = 0;
    std::uint64_t number = 0;
    for (std::uint64_t block = 0; block < blocks; block += kSearchBlocks) {
        if (room < carried + kBatch) {
            auto grown = std::make_unique_for_overwrite<char[]>(carried + kBatch);
            if (carried > 0)
                std::memcpy(grown.get(), work.get(), carried);
            work = std::move(grown);
            room = carried + kBatch;
        }
        const std::size_t size
            = m_reader->read(fmt::UpperNames, block, std::min(kSearchBlocks, blocks - block), work.get() + carried);
        const char* const begin = work.get();
        const char* const filled = begin + carried + size;
        // Whole names only: up to the last NUL.
        const char* end = filled;
        while (end != begin && end[-1] != '\0')
            --end;
        const char* position = begin;
        while (position != end) {
            const auto* found = static_cast<const char*>(
                ::memmem(position, static_cast<std::size_t>(end - position), needle.data(), needle.size()));
            if (found == nullptr) {
                number += countNuls(position, end);
                break;
            }
            number += countNuls(position, found);
            if (number >= files)
                throw IndexDamaged {};
            hits.push_back(static_cast<std::uint32_t>(number));
            // On to the next name: one row per file, however often its name holds the needle.
            position = static_cast<const char*>(std::memchr(found, '\0', static_cast<std::size_t>(end - found))) + 1;
            ++number;
        }
        carried = static_cast<std::size_t>(filled - end);
        if (carried > fmt::kMaxNameBytes)
            throw IndexDamaged {};
        std::memmove(work.get(), end, carried);
    }
    if (carried != 0 || number != files)
        throw IndexDamaged {};
}

} // namespace mellowby::catalog
