#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mellowby::catalog::indexformat {

// The layout of a names index file. It is a cache made and read on one machine, so numbers are
// in that machine's byte order; the magic text and the version tell an index of another layout.
//
// header | block checksums | key | texts | text table | directories | files | directory files |
// upper-cased names | names
//
// Everything after the block checksums is covered, a block of kBlockSize at a time, by one
// checksum each, so a reader checks only the blocks it touches: listing one folder of a catalog of
// ten million files reads a few of them.

inline constexpr std::array<char, 8> kMagic { 'M', 'L', 'B', 'Y', 'N', 'D', 'X', '1' };
inline constexpr std::uint64_t kVersion = 1;
inline constexpr std::uint64_t kBlockSize = 1 << 20;
inline constexpr std::uint32_t kNone = 0xFFFFFFFF;

// The index holds nothing but the catalog's stamp: the catalog is not of the form an index is made
// from, and is read directly.
inline constexpr std::uint64_t kFlagReadDirectly = 1;

enum Section : std::size_t {
    Checksums,
    Key, // the absolute Data folder, a NUL, the catalog's file name
    Texts, // every text a record names, one after another
    TextTable, // per text: offset and length in Texts
    Directories, // DirectoryRecord, in document order, the Disk element first
    Files, // FileRecord, in document order
    DirectoryFiles, // file numbers grouped by directory, each group in document order
    UpperNames, // each name upper-cased as the search compares it, followed by a NUL
    Names, // each name as read, followed by a NUL
    kSectionCount
};

struct SectionPlace {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct Header {
    std::array<char, 8> magic {};
    std::uint64_t version = 0;
    std::uint64_t headerSize = 0;
    std::uint64_t fileSize = 0;
    std::uint64_t flags = 0;
    // The catalog file the index was made from.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t directoryCount = 0;
    std::uint64_t fileCount = 0;
    std::uint64_t separator = 0;
    std::uint64_t blockSize = 0;
    std::uint64_t checkedFrom = 0; // where the first checksummed block begins
    std::array<SectionPlace, kSectionCount> sections {};
    std::uint64_t checksumsChecksum = 0;
    std::uint64_t headerChecksum = 0; // of every byte of the header before it
};

struct TextPlace {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct DirectoryRecord {
    std::uint32_t parent = kNone;
    std::uint32_t firstChild = kNone;
    std::uint32_t nextSibling = kNone;
    std::uint32_t title = 0; // text number
    std::uint32_t prefix = 0; // text number: what its files' locations begin with
    std::uint32_t firstFile = 0; // in DirectoryFiles
    std::uint32_t fileCount = 0;
    std::uint32_t unused = 0;
};

struct FileRecord {
    std::uint64_t nameOffset = 0; // in Names
    std::uint32_t nameLength = 0;
    std::uint32_t directory = 0;
    std::uint32_t size = 0; // text number
    std::uint32_t date = 0; // text number
};

static_assert(sizeof(Header) % 8 == 0);
static_assert(sizeof(DirectoryRecord) == 32);
static_assert(sizeof(FileRecord) == 24);

} // namespace mellowby::catalog::indexformat
