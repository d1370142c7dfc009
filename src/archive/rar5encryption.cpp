#include "archive/rar5encryption.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "archive/archivereader.h"
#include "platform/filesystem.h"

namespace mellowby::archive {

namespace {

constexpr std::uint64_t kSignatureSize = 8;
constexpr std::uint64_t kMaxHeaderSize = 2 * 1024 * 1024; // RAR 5 never writes more
constexpr std::uint64_t kFileHeader = 2;
constexpr std::uint64_t kEncryptionHeader = 4;
constexpr std::uint64_t kEndHeader = 5;
constexpr std::uint64_t kHasExtraArea = 0x1;
constexpr std::uint64_t kHasDataArea = 0x2;
constexpr std::uint64_t kFileEncryptionRecord = 0x1;

// Reads RAR 5's variable-length integers: seven bits a byte, lowest first, the top bit set on
// every byte but the last; ten bytes at most.
class VintReader {
public:
    explicit VintReader(std::span<const char> bytes)
        : m_bytes(bytes)
    {
    }

    std::optional<std::uint64_t> next()
    {
        std::uint64_t value = 0;
        for (unsigned shift = 0; shift < 70 && m_at < m_bytes.size(); shift += 7) {
            const auto byte = static_cast<unsigned char>(m_bytes[m_at++]);
            value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0)
                return value;
        }
        return std::nullopt;
    }

    std::size_t position() const { return m_at; }

private:
    std::span<const char> m_bytes;
    std::size_t m_at = 0;
};

// Whether the extra area (records of size, type and data) holds a file encryption record.
bool hasEncryptionRecord(std::span<const char> extra)
{
    while (!extra.empty()) {
        VintReader reader(extra);
        const auto size = reader.next(); // of the record's type and data
        if (!size || *size == 0 || *size > extra.size() - reader.position())
            return false;
        const auto record = extra.subspan(reader.position(), static_cast<std::size_t>(*size));
        if (VintReader(record).next() == kFileEncryptionRecord)
            return true;
        extra = extra.subspan(reader.position() + record.size());
    }
    return false;
}

} // namespace

std::vector<bool> rar5EncryptedMembers(
    const platform::IReadableFile& file, std::size_t maxMembers, const Deadline& deadline)
{
    std::vector<bool> encrypted;
    const std::uint64_t size = file.stamp().size;
    std::uint64_t position = kSignatureSize;
    std::string header;
    while (encrypted.size() < maxMembers && position < size && !deadline.passed()) {
        // The CRC32 of the header, then its size (of what follows the size) as a vint.
        std::array<char, 4 + 10> start {};
        const auto read = file.readAt(position, start);
        if (!read || *read < 5)
            break;
        VintReader sizeReader(std::span<const char>(start).subspan(4, *read - 4));
        const auto headerSize = sizeReader.next();
        const std::uint64_t headerStart = position + 4 + sizeReader.position();
        if (!headerSize || *headerSize == 0 || *headerSize > kMaxHeaderSize || headerStart + *headerSize > size)
            break;
        header.resize(static_cast<std::size_t>(*headerSize));
        const auto headerRead = file.readAt(headerStart, header);
        if (!headerRead || *headerRead != header.size())
            break;

        VintReader fields(header);
        const auto type = fields.next();
        const auto flags = fields.next();
        const auto extraSize = flags && (*flags & kHasExtraArea) != 0 ? fields.next() : std::optional<std::uint64_t>(0);
        const auto dataSize = flags && (*flags & kHasDataArea) != 0 ? fields.next() : std::optional<std::uint64_t>(0);
        if (!type || !flags || !extraSize || !dataSize || *extraSize > header.size() || *type == kEncryptionHeader
            || *type == kEndHeader)
            break;
        if (*type == kFileHeader) {
            const std::span<const char> extra
                = std::span<const char>(header).subspan(header.size() - static_cast<std::size_t>(*extraSize));
            encrypted.push_back(hasEncryptionRecord(extra));
        }
        const std::uint64_t next = headerStart + *headerSize;
        if (*dataSize > size - next)
            break;
        position = next + *dataSize;
    }
    return encrypted;
}

} // namespace mellowby::archive
