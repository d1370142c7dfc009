#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mellowby::names::indexformat {

// The layout of a names index file. It is a cache made and read on one machine, so numbers are
// in that machine's byte order; the magic text and the version tell an index of another layout.
//
// header | block checksums | sections, in the order of Section
//
// Every section after the checksums is cut into blocks of kBlockSize from its own start, the last
// one shorter, and each block has one checksum; the checksums are listed section after section.
// A reader reads and checks only the blocks it needs: listing one folder of a catalog of ten
// million files reads a few dozen of them.
//
// The search reads the names as they are and compares them upper-cased letter by letter in ASCII,
// which for nearly every name is what upper-casing by the Unicode rules gives. The few names for
// which it is not ("straße", "é") are listed apart with their upper-cased form, and are searched
// in that form instead.

inline constexpr std::array<char, 8> kMagic { 'M', 'L', 'B', 'Y', 'N', 'D', 'X', '1' };
inline constexpr std::uint64_t kVersion = 6;
inline constexpr std::uint64_t kBlockSize = 4096;
inline constexpr std::uint32_t kNone = 0xFFFFFFFF;
// Longer names are not indexed (their catalog is read directly), so a reader that finds a longer
// one knows the index is damaged.
inline constexpr std::uint64_t kMaxNameBytes = 1 << 20;

// The index holds nothing but the catalog's stamp: the catalog is not of the form an index is made
// from, and is read directly.
inline constexpr std::uint64_t kFlagReadDirectly = 1;

enum Section : std::size_t {
    Checksums,
    Key, // the absolute Data folder, a NUL, the catalog's file name
    FileTexts, // every distinct size and date text, each after its length (32 bits)
    FolderTexts, // each folder's title and the text its files' locations begin with
    Directories, // DirectoryRecord, in document order, the Disk element first
    DirectoryRuns, // RunRecord: where the folder of the files changes, in document order
    Files, // FileRecord, in document order
    NameOffsets, // per file, where its name is in Names (32 bits)
    DirectoryFiles, // file numbers (32 bits) grouped by directory, each group in document order
    Names, // each name as read, followed by a NUL, in document order
    ExtraNumbers, // the files whose names upper-case otherwise than letter by letter (32 bits), ascending
    ExtraUpperNames, // their names upper-cased by the Unicode rules, each followed by a NUL
    // Only when the catalog's database belongs to it (databaseState): per file, in document order.
    Facts, // FactRecord
    TypeOffsets, // where the type starts in the name (16 bits)
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
    // What became of the catalog's database (catalogdb::DatabaseState), and the file judged: with
    // another one beside the catalog, the index is made again.
    std::uint64_t databaseState = 0;
    std::uint64_t hasDatabase = 0;
    std::uint64_t databaseDevice = 0;
    std::uint64_t databaseInode = 0;
    std::uint64_t databaseSize = 0;
    std::int64_t databaseModified = 0;
    std::int64_t databaseChanged = 0;
    std::uint64_t directoryCount = 0;
    std::uint64_t fileCount = 0;
    // The folders and files inside the catalog's archives come after its own, from these numbers
    // on (the counts when it has none). The first folders of an archive are the archives
    // themselves: those whose parent is one of the catalog's own.
    std::uint64_t firstArchiveDirectory = 0;
    std::uint64_t firstMemberFile = 0;
    std::uint64_t separator = 0;
    std::uint64_t blockSize = 0;
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
    std::uint32_t firstFile = 0; // in DirectoryFiles
    std::uint32_t fileCount = 0;
    std::array<std::uint32_t, 3> unused {};
    TextPlace title; // in FolderTexts
    TextPlace prefix; // in FolderTexts: what its files' locations begin with
};

struct RunRecord {
    std::uint32_t firstFile = 0; // the files from here on, up to the next run, lie in directory
    std::uint32_t directory = 0;
};

struct FileRecord {
    std::uint32_t size = 0; // offset in FileTexts
    std::uint32_t date = 0; // offset in FileTexts
};

// A file's exact size and modification time, from the catalog's database.
struct FactRecord {
    std::uint64_t size = 0; // kNoFacts: the database has none for the file
    std::int64_t modifiedNs = 0;
};
inline constexpr std::uint64_t kNoFacts = 0xFFFFFFFFFFFFFFFF;

static_assert(sizeof(Header) % 8 == 0);
static_assert(sizeof(DirectoryRecord) == 64);
static_assert(sizeof(FileRecord) == 8 && sizeof(RunRecord) == 8 && sizeof(FactRecord) == 16);
// Records never lie across the end of a block.
static_assert(kBlockSize % sizeof(DirectoryRecord) == 0 && kBlockSize % sizeof(FileRecord) == 0
    && kBlockSize % sizeof(RunRecord) == 0 && kBlockSize % sizeof(FactRecord) == 0);

} // namespace mellowby::names::indexformat
