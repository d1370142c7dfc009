#include "archive/discidentity.h"

#include <string_view>
#include <vector>

#include "archive/archivekind.h"
#include "archive/archivetexts.h"
#include "platform/filesystem.h"

namespace mellowby::archive {

namespace {

constexpr std::size_t kSectorSize = 2048;
constexpr std::size_t kFirstDescriptor = 16 * kSectorSize;

// Byte offsets inside a volume descriptor (ECMA-119 8.4).
constexpr std::size_t kVolumeIdentifier = 40; // 32 bytes
constexpr std::size_t kEscapeSequences = 88; // 32 bytes, Joliet's "%/@", "%/C" or "%/E"
constexpr std::size_t kVolumeSpaceSize = 80; // both-endian 32 bits
constexpr std::size_t kLogicalBlockSize = 128; // both-endian 16 bits
constexpr std::size_t kVolumeSetIdentifier = 190; // 128 bytes
constexpr std::size_t kCreationDate = 813; // 17 bytes: 16 digits and a zone in quarter hours

using Descriptor = std::string_view;

std::uint32_t littleEndian(Descriptor descriptor, std::size_t at, std::size_t bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = bytes; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(descriptor[at + i]);
    return value;
}

std::string trimmed(std::string_view text)
{
    const auto end = text.find_last_not_of(std::string_view(" \0", 2));
    return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

// The identifier as written, blanks removed: ASCII by the standard, but the bytes of whatever a
// burning program wrote are kept as they are, as names on a disc are.
std::string narrowIdentifier(std::string_view field)
{
    return trimmed(field);
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t codeUnit(std::string_view field, std::size_t at)
{
    return static_cast<char32_t>(static_cast<unsigned char>(field[at])) << 8
        | static_cast<unsigned char>(field[at + 1]);
}

// Joliet's identifiers are UCS-2 big-endian (UTF-16 in practice); a lone surrogate is U+FFFD.
std::string wideIdentifier(std::string_view field)
{
    std::string text;
    for (std::size_t i = 0; i + 1 < field.size(); i += 2) {
        char32_t unit = codeUnit(field, i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < field.size()) {
            const char32_t low = codeUnit(field, i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            unit = 0xFFFD;
        if (unit == 0)
            break;
        appendUtf8(text, unit);
    }
    return trimmed(text);
}

int digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::int64_t daysFromCivil(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

// "YYYYMMDDHHMMSScc" and a signed zone in quarter hours; all zeros means none is recorded.
std::optional<std::int64_t> creationTimeOf(Descriptor descriptor)
{
    const std::string_view date = descriptor.substr(kCreationDate, 17);
    const int year = digits(date, 0, 4);
    const int month = digits(date, 4, 2);
    const int day = digits(date, 6, 2);
    const int hour = digits(date, 8, 2);
    const int minute = digits(date, 10, 2);
    const int second = digits(date, 12, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 60)
        return std::nullopt;
    // The zone is a signed byte: quarter hours from -48 (west) to 52 (east).
    const auto zoneByte = static_cast<unsigned char>(date[16]);
    const int zone = zoneByte < 128 ? zoneByte : zoneByte - 256;
    const std::int64_t local = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return local - (zone >= -48 && zone <= 52 ? zone * 15 * 60 : 0);
}

bool isJoliet(Descriptor descriptor)
{
    const std::string_view escapes = descriptor.substr(kEscapeSequences, 3);
    return escapes == "%/@" || escapes == "%/C" || escapes == "%/E";
}

} // namespace

std::expected<DiscIdentity, ListingError> parseDiscIdentity(std::span<const char> head)
{
    const std::string_view bytes(head.data(), std::min(head.size(), kDiscHeadLength));
    std::optional<Descriptor> primary;
    std::optional<Descriptor> joliet;
    bool udf = false;
    for (std::size_t at = kFirstDescriptor; at + kSectorSize <= bytes.size(); at += kSectorSize) {
        const Descriptor descriptor = bytes.substr(at, kSectorSize);
        const std::string_view identifier = descriptor.substr(1, 5);
        const auto type = static_cast<unsigned char>(descriptor[0]);
        if (identifier == "CD001") {
            if (type == 1 && !primary)
                primary = descriptor;
            else if (type == 2 && !joliet && isJoliet(descriptor))
                joliet = descriptor;
        } else if (identifier == "NSR02" || identifier == "NSR03") {
            udf = true;
        } else if (identifier != "BEA01" && identifier != "TEA01" && identifier != "BOOT2" && identifier != "CDW02") {
            break;
        }
    }
    if (!primary) {
        if (udf)
            return std::unexpected(ListingError { ListingFailure::UdfImage, { 0, std::string(kUdfImageText) } });
        return std::unexpected(ListingError { ListingFailure::NotAnArchive, { 0, std::string(kNotADiscImageText) } });
    }

    DiscIdentity identity;
    identity.volumeIdentifier = narrowIdentifier(primary->substr(kVolumeIdentifier, 32));
    identity.volumeSetIdentifier = narrowIdentifier(primary->substr(kVolumeSetIdentifier, 128));
    identity.label = joliet ? wideIdentifier(joliet->substr(kVolumeIdentifier, 32)) : identity.volumeIdentifier;
    if (identity.label.empty())
        identity.label = identity.volumeIdentifier;
    identity.creationTime = creationTimeOf(*primary);
    identity.volumeSpaceBytes
        = std::uint64_t { littleEndian(*primary, kVolumeSpaceSize, 4) } * littleEndian(*primary, kLogicalBlockSize, 2);
    identity.carriesUdf = udf;
    return identity;
}

std::expected<DiscIdentity, ListingError> readDiscIdentity(const platform::IReadableFile& image)
{
    std::vector<char> head(kDiscHeadLength);
    const auto read = image.readAt(0, head);
    if (!read)
        return std::unexpected(ListingError { ListingFailure::Unreadable, read.error() });
    return parseDiscIdentity(std::span<const char>(head.data(), *read));
}

} // namespace mellowby::archive
