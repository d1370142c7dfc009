#include "catalog/namesindex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <variant>
#include <xxhash.h>

#include "catalog/locationtext.h"
#include "catalog/namesindexformat.h"

namespace mellowby::catalog {

namespace fmt = indexformat;

namespace {

// The texts the locations of a catalog's folders begin with grow with the square of its depth; an
// index that would hold more of them than this is not made (the catalog is read directly).
constexpr std::uint64_t kMaxPrefixBytes = 256ull << 20;
// How much of the names is searched between two releases of what lies behind.
constexpr std::uint64_t kSearchWindow = 8ull << 20;
constexpr std::uint32_t kReleaseEveryFiles = 1u << 16;

std::uint64_t aligned(std::uint64_t size)
{
    return (size + 7) / 8 * 8;
}

// The checksums of the blocks of a byte stream fed to it in pieces of any size.
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
    std::vector<std::uint64_t> finish()
    {
        if (m_filled > 0)
            endBlock();
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
    // Each folder's texts are its own: the locations its files begin with are all different.
    m_directories.push_back({ parent, newText(title), newText(prefix), fmt::kNone });
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
    if (m_files.size() / sizeof(fmt::FileRecord) >= fmt::kNone - 1 || name.size() >= fmt::kNone) {
        giveUp();
        return;
    }
    m_files.appendRecord(
        fmt::FileRecord { m_names.size(), static_cast<std::uint32_t>(name.size()), m_open.back().first, size, date });
    m_names.append(name);
    m_names.append(std::string_view("", 1));
    m_upperNames.append(m_upper.upper(name));
    m_upperNames.append(std::string_view("", 1));
}

std::uint64_t NamesIndexBuilder::indexSize(const IndexKey& key) const
{
    const std::uint64_t files = m_files.size() / sizeof(fmt::FileRecord);
    const std::uint64_t data = aligned(keyText(key).size()) + aligned(m_texts.size())
        + aligned(m_textPlaces.size() * sizeof(fmt::TextPlace))
        + aligned(m_directories.size() * sizeof(fmt::DirectoryRecord)) + files * sizeof(fmt::FileRecord)
        + aligned(files * sizeof(std::uint32_t)) + aligned(m_upperNames.size()) + aligned(m_names.size());
    const std::uint64_t blocks = (data + fmt::kBlockSize - 1) / fmt::kBlockSize;
    return sizeof(fmt::Header) + blocks * sizeof(std::uint64_t) + data;
}

void NamesIndexBuilder::giveUp()
{
    m_fits = false;
    m_texts = {};
    m_textPlaces = {};
    m_fileTexts.clear();
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
    const bool readDirectly = !m_fits;
    if (readDirectly)
        giveUp();
    const std::string keyBytes = keyText(key);
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
    lengths[fmt::Texts] = m_texts.size();
    lengths[fmt::TextTable] = m_textPlaces.size() * sizeof(fmt::TextPlace);
    lengths[fmt::Directories] = directoryCount * sizeof(fmt::DirectoryRecord);
    lengths[fmt::Files] = m_files.size();
    lengths[fmt::DirectoryFiles] = grouped.size() * sizeof(std::uint32_t);
    lengths[fmt::UpperNames] = m_upperNames.size();
    lengths[fmt::Names] = m_names.size();
    std::uint64_t data = 0;
    for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which)
        data += aligned(lengths[which]);
    const std::uint64_t blocks = (data + fmt::kBlockSize - 1) / fmt::kBlockSize;
    std::uint64_t offset = sizeof(fmt::Header);
    header.sections[fmt::Checksums] = { offset, blocks * sizeof(std::uint64_t) };
    offset += header.sections[fmt::Checksums].length;
    header.checkedFrom = offset;
    for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which) {
        header.sections[which] = { offset, lengths[which] };
        offset += aligned(lengths[which]);
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
        static constexpr char kZeros[8] {};
        out(bytes);
        out(std::string_view(kZeros, aligned(bytes.size()) - bytes.size()));
    };
    // Room for the header and the checksums, written over at the end.
    const std::string room(header.checkedFrom, '\0');
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
    {
        std::vector<fmt::DirectoryRecord> records;
        records.reserve(directoryCount);
        for (std::size_t d = 0; d < directoryCount; ++d) {
            const Directory& directory = m_directories[d];
            records.push_back({ directory.parent, m_firstChild[d], m_nextSibling[d], directory.title, directory.prefix,
                firstFiles[d], fileCounts[d], 0 });
        }
        section(bytesOf(records));
    }
    section(m_files.bytes());
    section(bytesOf(grouped));
    m_textPlaces = {};
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

// What keeps the bytes of an index alive: its mapped file, or a string in memory.
struct NamesIndex::Holder {
    std::shared_ptr<const platform::IMappedFile> mapped;
    std::shared_ptr<const std::string> memory;
};

std::expected<NamesIndex, std::string> NamesIndex::open(
    std::shared_ptr<const platform::IMappedFile> mapped, const IndexKey& key)
{
    const std::string_view bytes = mapped->bytes();
    return openBytes(std::make_shared<const Holder>(Holder { std::move(mapped), nullptr }), bytes, key);
}

std::expected<NamesIndex, std::string> NamesIndex::open(std::shared_ptr<const std::string> bytes, const IndexKey& key)
{
    const std::string_view view = *bytes;
    return openBytes(std::make_shared<const Holder>(Holder { nullptr, std::move(bytes) }), view, key);
}

std::expected<NamesIndex, std::string> NamesIndex::openBytes(
    std::shared_ptr<const Holder> holder, std::string_view bytes, const IndexKey& key)
{
    fmt::Header header;
    if (bytes.size() < sizeof header)
        return std::unexpected("the index is shorter than its header");
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.magic != fmt::kMagic || header.version != fmt::kVersion || header.headerSize != sizeof header)
        return std::unexpected("the index is of another layout");
    if (header.headerChecksum != XXH3_64bits(&header, offsetof(fmt::Header, headerChecksum)))
        return std::unexpected("the index's header is damaged");
    if (header.fileSize != bytes.size())
        return std::unexpected("the index is cut short or too long");
    const platform::FileStamp stamp { header.device, header.inode, header.size, header.modified, header.changed };
    if (stamp != key.stamp)
        return std::unexpected("the catalog has changed since the index was made");
    if (header.blockSize != fmt::kBlockSize || header.checkedFrom > bytes.size()
        || (header.separator != '/' && header.separator != '\\'))
        return std::unexpected("the index's header is damaged");
    for (const auto& place : header.sections) {
        if (place.offset > bytes.size() || place.length > bytes.size() - place.offset)
            return std::unexpected("the index's header is damaged");
    }
    const std::uint64_t blocks = (bytes.size() - header.checkedFrom + fmt::kBlockSize - 1) / fmt::kBlockSize;
    const fmt::SectionPlace& sums = header.sections[fmt::Checksums];
    if (sums.length != blocks * sizeof(std::uint64_t) || sums.offset % 8 != 0
        || XXH3_64bits(bytes.data() + sums.offset, sums.length) != header.checksumsChecksum)
        return std::unexpected("the index's checksums are damaged");

    NamesIndex index;
    index.m_holder = std::move(holder);
    index.m_bytes = bytes;
    index.m_state = std::make_shared<State>();
    index.m_state->checkedBlocks.assign(blocks, false);
    index.m_checksums
        = { reinterpret_cast<const std::uint64_t*>(bytes.data() + sums.offset), static_cast<std::size_t>(blocks) };
    index.m_checkedFrom = header.checkedFrom;
    try {
        if (index.section(fmt::Key) != keyText(key))
            return std::unexpected("the index was made for another catalog");
    } catch (const IndexDamaged&) {
        return std::unexpected("the index is damaged");
    }
    return index;
}

const indexformat::Header& headerOf(std::string_view bytes)
{
    return *reinterpret_cast<const fmt::Header*>(bytes.data());
}

std::string_view NamesIndex::checked(std::uint64_t offset, std::uint64_t length) const
{
    if (offset < m_checkedFrom || offset > m_bytes.size() || length > m_bytes.size() - offset)
        throw IndexDamaged {};
    if (length > 0) {
        const std::uint64_t first = (offset - m_checkedFrom) / fmt::kBlockSize;
        const std::uint64_t last = (offset + length - 1 - m_checkedFrom) / fmt::kBlockSize;
        std::vector<bool>& done = m_state->checkedBlocks;
        for (std::uint64_t block = first; block <= last; ++block) {
            if (done[block])
                continue;
            const std::uint64_t begin = m_checkedFrom + block * fmt::kBlockSize;
            const std::uint64_t size = std::min<std::uint64_t>(fmt::kBlockSize, m_bytes.size() - begin);
            if (XXH3_64bits(m_bytes.data() + begin, size) != m_checksums[block])
                throw IndexDamaged {};
            done[block] = true;
        }
    }
    return m_bytes.substr(offset, length);
}

std::string_view NamesIndex::section(std::size_t which) const
{
    const fmt::SectionPlace& place = headerOf(m_bytes).sections[which];
    return checked(place.offset, place.length);
}

template <typename Record> const Record& NamesIndex::record(std::size_t which, std::uint64_t number) const
{
    const fmt::SectionPlace& place = headerOf(m_bytes).sections[which];
    if (number >= place.length / sizeof(Record))
        throw IndexDamaged {};
    const std::string_view bytes = checked(place.offset + number * sizeof(Record), sizeof(Record));
    // Sections start on 8-byte boundaries of a page-aligned mapping or of a string's buffer.
    return *reinterpret_cast<const Record*>(bytes.data());
}

std::string_view NamesIndex::textAt(std::uint32_t number) const
{
    const auto& place = record<fmt::TextPlace>(fmt::TextTable, number);
    const fmt::SectionPlace& texts = headerOf(m_bytes).sections[fmt::Texts];
    if (place.offset > texts.length || place.length > texts.length - place.offset)
        throw IndexDamaged {};
    return checked(texts.offset + place.offset, place.length);
}

bool NamesIndex::readsDirectly() const
{
    return (headerOf(m_bytes).flags & fmt::kFlagReadDirectly) != 0;
}

std::size_t NamesIndex::fileCount() const
{
    return headerOf(m_bytes).fileCount;
}

std::size_t NamesIndex::directoryCount() const
{
    return headerOf(m_bytes).directoryCount;
}

char NamesIndex::separator() const
{
    return static_cast<char>(headerOf(m_bytes).separator);
}

NamesIndex::DirectoryView NamesIndex::directory(std::uint32_t number) const
{
    const auto& directory = record<fmt::DirectoryRecord>(fmt::Directories, number);
    return { directory.parent, directory.firstChild, directory.nextSibling, textAt(directory.title),
        textAt(directory.prefix), directory.firstFile, directory.fileCount };
}

std::span<const std::uint32_t> NamesIndex::filesOf(const DirectoryView& directory) const
{
    const fmt::SectionPlace& place = headerOf(m_bytes).sections[fmt::DirectoryFiles];
    const std::uint64_t count = place.length / sizeof(std::uint32_t);
    if (directory.firstFile > count || directory.fileCount > count - directory.firstFile)
        throw IndexDamaged {};
    const std::string_view bytes = checked(place.offset + std::uint64_t { directory.firstFile } * sizeof(std::uint32_t),
        std::uint64_t { directory.fileCount } * sizeof(std::uint32_t));
    return { reinterpret_cast<const std::uint32_t*>(bytes.data()), directory.fileCount };
}

NamesIndex::FileView NamesIndex::file(std::uint32_t number) const
{
    const auto& file = record<fmt::FileRecord>(fmt::Files, number);
    const fmt::SectionPlace& names = headerOf(m_bytes).sections[fmt::Names];
    if (file.nameOffset > names.length || file.nameLength > names.length - file.nameOffset)
        throw IndexDamaged {};
    return { checked(names.offset + file.nameOffset, file.nameLength), textAt(file.size), textAt(file.date),
        file.directory };
}

void NamesIndex::release(std::uint64_t offset, std::uint64_t length) const
{
    if (m_holder->mapped)
        m_holder->mapped->release(offset, length);
}

void NamesIndex::findNames(std::string_view needle, std::vector<std::uint32_t>& hits) const
{
    if (needle.empty() || needle.find('\0') != std::string_view::npos)
        return;
    const fmt::SectionPlace& place = headerOf(m_bytes).sections[fmt::UpperNames];
    const char* const names = m_bytes.data() + place.offset;
    const std::uint64_t length = place.length;
    const std::uint64_t files = fileCount();
    std::uint64_t position = 0;
    std::uint64_t number = 0;
    std::uint64_t released = 0;
    while (position < length) {
        // A window, and as much past its end as a hit that starts in it can reach.
        const std::uint64_t windowEnd = std::min(length, position + kSearchWindow);
        const std::uint64_t reach = std::min(length, windowEnd + needle.size() - 1);
        checked(place.offset + position, reach - position);
        while (position < windowEnd) {
            const void* found = ::memmem(names + position, reach - position, needle.data(), needle.size());
            const std::uint64_t at
                = found == nullptr ? windowEnd : static_cast<std::uint64_t>(static_cast<const char*>(found) - names);
            const std::uint64_t countTo = std::min(at, windowEnd);
            number += static_cast<std::uint64_t>(std::count(names + position, names + countTo, '\0'));
            if (found == nullptr || at >= windowEnd) {
                position = windowEnd;
                break;
            }
            if (number >= files)
                throw IndexDamaged {};
            hits.push_back(static_cast<std::uint32_t>(number));
            // On to the next name: one row per file, however often its name holds the needle.
            std::uint64_t end = at;
            for (;;) {
                const std::uint64_t until = std::min(length, end + kSearchWindow);
                checked(place.offset + end, until - end);
                const void* nul = std::memchr(names + end, '\0', until - end);
                if (nul != nullptr) {
                    end = static_cast<std::uint64_t>(static_cast<const char*>(nul) - names);
                    break;
                }
                if (until == length)
                    throw IndexDamaged {};
                end = until;
            }
            position = end + 1;
            ++number;
        }
        if (position - released >= kSearchWindow) {
            release(place.offset + released, position - released);
            released = position;
        }
    }
}

void NamesIndex::passedFilesBefore(std::uint32_t number) const
{
    if (!m_holder->mapped || number < m_state->releasedFiles + kReleaseEveryFiles)
        return;
    m_state->releasedFiles = number;
    const fmt::Header& header = headerOf(m_bytes);
    release(header.sections[fmt::Files].offset, std::uint64_t { number } * sizeof(fmt::FileRecord));
    const auto& file = record<fmt::FileRecord>(fmt::Files, number - 1);
    release(header.sections[fmt::Names].offset, file.nameOffset);
}

} // namespace mellowby::catalog
