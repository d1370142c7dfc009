#include "names/indexblockreader.h"

#include <algorithm>
#include <span>
#include <xxhash.h>

namespace mellowby::names {

namespace fmt = indexformat;

namespace {

// What a reader keeps at hand: for each section a run of kRunBlocks blocks, read at once when
// blocks are taken one after another, and kBlocksAtHand single blocks.
constexpr std::uint64_t kRunBlocks = 16;
constexpr std::size_t kBlocksAtHand = 1024;
// A section of no more blocks than this (the size and date texts, mostly) is read whole.
constexpr std::uint64_t kWholeSectionBlocks = 64;

} // namespace

IndexBlockReader::IndexBlockReader(std::shared_ptr<const platform::IReadableFile> file,
    const indexformat::Header& header, std::vector<std::uint64_t> checksums)
    : IndexBlockReader(
        std::move(file), header, std::make_shared<const std::vector<std::uint64_t>>(std::move(checksums)))
{
}

IndexBlockReader::IndexBlockReader(std::shared_ptr<const platform::IReadableFile> file,
    const indexformat::Header& header, std::shared_ptr<const std::vector<std::uint64_t>> checksums)
    : m_file(std::move(file))
    , m_header(header)
    , m_checksums(std::move(checksums))
    , m_blocks(kBlocksAtHand)
{
    std::uint64_t first = 0;
    for (std::size_t which = fmt::Key; which < fmt::kSectionCount; ++which) {
        m_firstBlock[which] = first;
        first += blocksOf(header.sections[which].length);
    }
}

std::shared_ptr<IndexBlockReader> IndexBlockReader::another() const
{
    return std::shared_ptr<IndexBlockReader>(new IndexBlockReader(m_file, m_header, m_checksums));
}

std::size_t IndexBlockReader::read(std::size_t section, std::uint64_t first, std::uint64_t count, char* into) const
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

std::string_view IndexBlockReader::bytes(std::size_t section, std::uint64_t offset, std::uint64_t length)
{
    if (offset > this->length(section) || length > this->length(section) - offset)
        throw IndexDamaged {};
    if (length == 0)
        return {};
    const std::uint64_t first = offset / fmt::kBlockSize;
    const std::uint64_t last = (offset + length - 1) / fmt::kBlockSize;
    const Run& run = m_runs[section];
    if (run.first <= first && last < run.first + run.count)
        return { run.bytes.get() + (offset - run.first * fmt::kBlockSize), length };
    if (first == m_nextBlock[section] || blocksOf(this->length(section)) <= kWholeSectionBlocks)
        return readRun(section, first, last, offset, length);
    if (first == last)
        return readSingleBlock(section, first, offset, length);
    // Across blocks taken out of turn: read apart, the run stays as it is.
    m_joined.resize((last - first + 1) * fmt::kBlockSize);
    read(section, first, last - first + 1, m_joined.data());
    return std::string_view(m_joined).substr(offset - first * fmt::kBlockSize, length);
}

// Blocks taken one after another are read a run at a time, a small section whole.
std::string_view IndexBlockReader::readRun(
    std::size_t section, std::uint64_t first, std::uint64_t last, std::uint64_t offset, std::uint64_t length)
{
    Run& run = m_runs[section];
    const std::uint64_t blocks = blocksOf(this->length(section));
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

std::string_view IndexBlockReader::readSingleBlock(
    std::size_t section, std::uint64_t block, std::uint64_t offset, std::uint64_t length)
{
    const std::uint64_t id = m_firstBlock[section] + block;
    Block& kept = m_blocks[id % kBlocksAtHand];
    if (kept.id != id) {
        if (!kept.bytes)
            kept.bytes = std::make_unique_for_overwrite<char[]>(fmt::kBlockSize);
        kept.id = kNoBlock; // until it is read whole
        read(section, block, 1, kept.bytes.get());
        kept.id = id;
    }
    return { kept.bytes.get() + offset % fmt::kBlockSize, length };
}

bool IndexBlockReader::holdsWhole(std::size_t section) const
{
    return m_runs[section].first == 0 && m_runs[section].count == blocksOf(length(section))
        && m_runs[section].count <= kWholeSectionBlocks;
}

void IndexBlockReader::copy(std::size_t section, std::uint64_t offset, std::uint64_t length, std::string& text)
{
    text.assign(bytes(section, offset, length));
}

void IndexBlockReader::copyTerminated(std::size_t section, std::uint64_t offset, std::string& text)
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

} // namespace mellowby::names
