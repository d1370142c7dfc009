#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace mellowby::platform {
class IReadableFile;
}

namespace mellowby::archive {

// What a file's first bytes say it is. A file is listed as an archive only when they say so,
// whatever its name: a "photo.zip" holding a JPEG is a file like any other.
enum class ArchiveKind {
    None,
    Zip,
    SevenZip,
    Rar, // RAR 1.5 to 4
    Rar5,
    Tar, // ustar, GNU and pax by their magic at 257; old-style tar by its header checksum
    // gzip, bzip2, xz, zstd, lzma, lzip, lz4 or compress: an archive only if what it compresses
    // is a tar or a cpio, which the listing finds out. A compressed single file (a bare .gz) is
    // no archive of members and stays a plain file.
    Compressed,
    Cpio,
    Cab,
    Iso9660, // a disc image with an ISO 9660 file system (with or without UDF beside it)
    Udf, // a disc image with UDF alone, which libarchive cannot read
};

struct Sniffed {
    ArchiveKind kind = ArchiveKind::None;
    // The first header says the names are encrypted too (RAR's -hp): nothing can be listed.
    bool namesEncrypted = false;
};

// The bytes that show every kind but the disc images.
inline constexpr std::size_t kArchiveHeadLength = 512;
// The bytes that show a disc image too: its volume descriptors from sector 16 on.
inline constexpr std::size_t kDiscHeadLength = 64 * 1024;

// The kind the first bytes of a file of fileSize bytes show. head is the file from its start,
// at least kArchiveHeadLength bytes (or the whole file when it is shorter); disc images are
// seen only when it reaches kDiscHeadLength (or the end of the file). Cheap: no allocation.
Sniffed sniffArchive(std::span<const char> head, std::uint64_t fileSize);

// The same for an open file, reading the disc area only when the first bytes showed nothing.
// None when the file cannot be read.
Sniffed sniffFile(const platform::IReadableFile& file);

} // namespace mellowby::archive
