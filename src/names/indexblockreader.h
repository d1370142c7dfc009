#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "names/namesindexformat.h"
#include "platform/filesystem.h"

namespace mellowby::names {

// Thrown by the accessors of a NamesIndex when a block they touch does not match its checksum,
// cannot be read, or holds what no writer writes.
struct IndexDamaged { };

// The number of blocks a section of length bytes is cut into.
constexpr std::uint64_t blocksOf(std::uint64_t length)
{
    return (length + indexformat::kBlockSize - 1) / indexformat::kBlockSize;
}

// The file of a names index with what its header says, and the blocks last read from it: for each
// section the run of blocks last read one after another, and a table of single blocks read where
// they were needed (texts that every row looks up, folders a listing goes through). Every block is
// checked against its checksum as it is read; one that does not match throws IndexDamaged. One
// thread at a time.
class IndexBlockReader {
public:
    IndexBlockReader(std::shared_ptr<const platform::IReadableFile> file, const indexformat::Header& header,
        std::vector<std::uint64_t> checksums);

    // A reader of the same file with blocks of its own at hand, for another thread.
    std::shared_ptr<IndexBlockReader> another() const;

    const indexformat::Header& header() const { return m_header; }
    std::uint64_t length(std::size_t section) const { return m_header.sections[section].length; }

    // Reads count blocks of section from block first into into and checks them; the bytes read.
    std::size_t read(std::size_t section, std::uint64_t first, std::uint64_t count, char* into) const;

    // The bytes [offset, offset + length) of section, read and checked; valid until the next read.
    std::string_view bytes(std::size_t section, std::uint64_t offset, std::uint64_t length);

    // Record number of a section of records of one size.
    template <typename Record> Record record(std::size_t section, std::uint64_t number)
    {
        if (number >= length(section) / sizeof(Record))
            throw IndexDamaged {};
        const std::string_view found = bytes(section, number * sizeof(Record), sizeof(Record));
        Record record;
        std::memcpy(&record, found.data(), sizeof record);
        return record;
    }

    // Whether section is read whole, and stays so.
    bool holdsWhole(std::size_t section) const;

    // Copies the bytes [offset, offset + length) of section into text.
    void copy(std::size_t section, std::uint64_t offset, std::uint64_t length, std::string& text);
    // Copies the text of section that starts at offset and ends before a NUL into text.
    void copyTerminated(std::size_t section, std::uint64_t offset, std::string& text);

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

    IndexBlockReader(std::shared_ptr<const platform::IReadableFile> file, const indexformat::Header& header,
        std::shared_ptr<const std::vector<std::uint64_t>> checksums);
    std::string_view readRun(
        std::size_t section, std::uint64_t first, std::uint64_t last, std::uint64_t offset, std::uint64_t length);
    std::string_view readSingleBlock(
        std::size_t section, std::uint64_t block, std::uint64_t offset, std::uint64_t length);

    std::shared_ptr<const platform::IReadableFile> m_file;
    indexformat::Header m_header;
    std::shared_ptr<const std::vector<std::uint64_t>> m_checksums;
    std::array<std::uint64_t, indexformat::kSectionCount> m_firstBlock {};
    std::array<std::uint64_t, indexformat::kSectionCount> m_nextBlock {};
    std::array<Run, indexformat::kSectionCount> m_runs;
    std::vector<Block> m_blocks;
    std::string m_joined;
};

} // namespace mellowby::names
