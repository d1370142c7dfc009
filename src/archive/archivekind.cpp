#include "archive/archivekind.h"

#include <array>
#include <string_view>
#include <vector>

#include "platform/filesystem.h"

namespace mellowby::archive {

namespace {

constexpr std::size_t kSectorSize = 2048;
constexpr std::size_t kFirstDescriptor = 16 * kSectorSize;
constexpr std::size_t kDescriptorsSeen = (kDiscHeadLength - kFirstDescriptor) / kSectorSize;

bool startsWith(std::span<const char> bytes, std::string_view magic, std::size_t at = 0)
{
    return bytes.size() >= at + magic.size() && std::string_view(bytes.data() + at, magic.size()) == magic;
}

unsigned byteAt(std::span<const char> bytes, std::size_t at)
{
    return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0;
}

// A tar header made before ustar has no magic: only its checksum, the sum of its 512 bytes with
// the checksum field counted as spaces, written in octal at 148, tells it from other data.
bool hasTarChecksum(std::span<const char> header)
{
    if (header.size() < 512 || header[0] == '\0')
        return false;
    std::uint32_t field = 0;
    std::size_t at = 148;
    while (at < 156 && header[at] == ' ')
        ++at;
    std::size_t digits = 0;
    for (; at < 156 && header[at] >= '0' && header[at] <= '7'; ++at, ++digits)
        field = field * 8 + static_cast<std::uint32_t>(header[at] - '0');
    if (digits == 0 || (at < 156 && header[at] != ' ' && header[at] != '\0'))
        return false;
    std::uint32_t unsignedSum = 0;
    std::int32_t signedSum = 0; // some old tars summed signed chars
    for (std::size_t i = 0; i < 512; ++i) {
        const char c = i >= 148 && i < 156 ? ' ' : header[i];
        unsignedSum += static_cast<unsigned char>(c);
        signedSum += static_cast<signed char>(c);
    }
    return field == unsignedSum || static_cast<std::int32_t>(field) == signedSum;
}

// The "alone" format of lzma has no magic: its properties byte and dictionary size are checked
// as libarchive's own bidder does, and what it holds must still prove to be a tar.
bool looksLikeLzmaAlone(std::span<const char> head)
{
    if (head.size() < 13 || byteAt(head, 0) > 225)
        return false;
    const std::uint32_t dictionary
        = byteAt(head, 1) | byteAt(head, 2) << 8 | byteAt(head, 3) << 16 | byteAt(head, 4) << 24;
    for (unsigned bits = 12; bits <= 30; ++bits) {
        if (dictionary == (1U << bits) || dictionary == (1U << bits) + (1U << (bits - 1)))
            return byteAt(head, 0) == 0x5D;
    }
    return false;
}

bool isCompressed(std::span<const char> head)
{
    static constexpr std::array<std::string_view, 8> kMagics { {
        std::string_view("\x1F\x8B\x08", 3), // gzip
        "BZh", // bzip2
        std::string_view("\xFD"
                         "7zXZ\0",
            6), // xz
        "\x28\xB5\x2F\xFD", // zstd
        "LZIP", // lzip
        "\x04\x22\x4D\x18", // lz4 frame
        "\x02\x21\x4C\x18", // lz4 legacy
        "\x1F\x9D", // compress
    } };
    for (const auto magic : kMagics) {
        if (startsWith(head, magic))
            return true;
    }
    return looksLikeLzmaAlone(head);
}

// RAR 4's main header (after the 7-byte marker) has flag 0x80 when its headers are encrypted;
// RAR 5 puts an encryption header (type 4) first.
bool rarNamesEncrypted(std::span<const char> head, bool rar5)
{
    if (!rar5)
        return byteAt(head, 9) == 0x73 && (byteAt(head, 10) & 0x80) != 0;
    std::size_t at = 12; // after the signature and the header's CRC32: its size, then its type
    for (int i = 0; i < 4 && (byteAt(head, at) & 0x80) != 0; ++i)
        ++at;
    return byteAt(head, at + 1) == 4;
}

Sniffed sniffFirstBytes(std::span<const char> head)
{
    if (startsWith(head, "PK\x03\x04") || startsWith(head, "PK\x05\x06") || startsWith(head, "PK\x07\x08PK"))
        return { ArchiveKind::Zip };
    if (startsWith(head, "7z\xBC\xAF\x27\x1C"))
        return { ArchiveKind::SevenZip };
    if (startsWith(head, std::string_view("Rar!\x1A\x07\x00", 7)))
        return { ArchiveKind::Rar, rarNamesEncrypted(head, false) };
    if (startsWith(head, std::string_view("Rar!\x1A\x07\x01\x00", 8)))
        return { ArchiveKind::Rar5, rarNamesEncrypted(head, true) };
    if (startsWith(head, std::string_view("MSCF\0\0\0\0", 8)))
        return { ArchiveKind::Cab };
    if (startsWith(head, "070707") || startsWith(head, "070701") || startsWith(head, "070702")
        || startsWith(head, "\xC7\x71") || startsWith(head, "\x71\xC7"))
        return { ArchiveKind::Cpio };
    if (startsWith(head, std::string_view("ustar\0", 6), 257) || startsWith(head, "ustar  ", 257)
        || hasTarChecksum(head.first(std::min<std::size_t>(head.size(), 512))))
        return { ArchiveKind::Tar };
    if (isCompressed(head))
        return { ArchiveKind::Compressed };
    return {};
}

// The volume recognition sequence from sector 16 on: ISO 9660's descriptors ("CD001"), then for
// UDF "BEA01", "NSR02" or "NSR03", "TEA01". An ISO 9660 primary descriptor makes it readable,
// whatever else is there.
ArchiveKind sniffDisc(std::span<const char> head)
{
    bool udf = false;
    for (std::size_t sector = 0; sector < kDescriptorsSeen; ++sector) {
        const std::size_t at = kFirstDescriptor + sector * kSectorSize;
        if (head.size() < at + 6)
            break;
        const std::string_view identifier(head.data() + at + 1, 5);
        if (identifier == "CD001" && byteAt(head, at) == 1)
            return ArchiveKind::Iso9660;
        if (identifier == "NSR02" || identifier == "NSR03")
            udf = true;
        else if (identifier != "CD001" && identifier != "BEA01" && identifier != "TEA01" && identifier != "BOOT2"
            && identifier != "CDW02")
            break;
    }
    return udf ? ArchiveKind::Udf : ArchiveKind::None;
}

} // namespace

Sniffed sniffArchive(std::span<const char> head, std::uint64_t fileSize)
{
    if (head.size() > fileSize)
        head = head.first(fileSize);
    if (const Sniffed first = sniffFirstBytes(head); first.kind != ArchiveKind::None)
        return first;
    return { sniffDisc(head) };
}

Sniffed sniffFile(const platform::IReadableFile& file)
{
    const std::uint64_t size = file.stamp().size;
    std::array<char, kArchiveHeadLength> first {};
    const auto read = file.readAt(0, first);
    if (!read)
        return {};
    const Sniffed sniffed = sniffArchive(std::span<const char>(first.data(), *read), size);
    if (sniffed.kind != ArchiveKind::None || size < kFirstDescriptor + kSectorSize)
        return sniffed;
    std::vector<char> disc(kDiscHeadLength);
    const auto discRead = file.readAt(0, disc);
    if (!discRead)
        return {};
    return sniffArchive(std::span<const char>(disc.data(), *discRead), size);
}

} // namespace mellowby::archive
