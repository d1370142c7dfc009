#include "catalog/volumerecord.h"

#include <charconv>
#include <cstdint>

#include <unicode/utf8.h>

#include "platform/hexdigits.h"

namespace mellowby::catalog {

namespace {

constexpr std::string_view kComment = "# Mellowby：此目录扫描时所在的卷\n";

// The keys of the file. They are stored, so they never change.
constexpr std::string_view kUuid = "uuid";
constexpr std::string_view kLabel = "label";
constexpr std::string_view kType = "type";
constexpr std::string_view kSize = "size";
constexpr std::string_view kDevice = "device";
constexpr std::string_view kMountPoint = "mountpoint";
constexpr std::string_view kRoot = "root";
constexpr std::string_view kPath = "path";
constexpr std::string_view kScanned = "scanned";
// Only in the record of a disc image; "image" says which file system it was read as.
constexpr std::string_view kImage = "image";
constexpr std::string_view kImageLabel = "image.label";
constexpr std::string_view kImageVolume = "image.volume";
constexpr std::string_view kImageVolumeSet = "image.volumeset";
constexpr std::string_view kImageCreated = "image.created";
constexpr std::string_view kImageSize = "image.size";
constexpr std::string_view kImageFileSystem = "iso9660";

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendByteEscape(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
}

std::string escaped(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(value.data());
    const auto length = static_cast<std::int32_t>(value.size());
    for (std::int32_t i = 0; i < length;) {
        const std::int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            // Not UTF-8: each byte of the broken sequence stands for itself.
            for (std::int32_t b = start; b < i; ++b)
                appendByteEscape(out, bytes[b]);
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            appendByteEscape(out, static_cast<unsigned char>(c));
        } else {
            out.append(value.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size())
            return std::nullopt;
        switch (value[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x': {
            if (i + 2 >= value.size() || platform::hexDigitValue(value[i + 1]) < 0
                || platform::hexDigitValue(value[i + 2]) < 0)
                return std::nullopt;
            out += static_cast<char>(
                platform::hexDigitValue(value[i + 1]) * 16 + platform::hexDigitValue(value[i + 2]));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

void appendLine(std::string& text, std::string_view key, std::string_view value)
{
    text += key;
    text += '=';
    text += escaped(value);
    text += '\n';
}

template <typename Number> bool parseNumber(const std::string& value, Number& into)
{
    const char* last = value.data() + value.size();
    const auto parsed = std::from_chars(value.data(), last, into);
    return !value.empty() && parsed.ec == std::errc() && parsed.ptr == last;
}

// An image's own key, taken into image; false for a value that is no number where one is due.
bool takeImageKey(std::string_view key, std::string& value, DiscImageRecord& image)
{
    if (key == kImageLabel) {
        image.label = std::move(value);
    } else if (key == kImageVolume) {
        image.volumeIdentifier = std::move(value);
    } else if (key == kImageVolumeSet) {
        image.volumeSetIdentifier = std::move(value);
    } else if (key == kImageCreated) {
        std::int64_t seconds = 0;
        if (!parseNumber(value, seconds))
            return false;
        image.creationTime = seconds;
    } else if (key == kImageSize) {
        return parseNumber(value, image.volumeSpaceBytes);
    }
    return true;
}

} // namespace

std::string formatVolumeRecord(const VolumeRecord& record)
{
    const platform::Volume& volume = record.volume;
    std::string text(kComment);
    appendLine(text, kUuid, volume.uuid);
    appendLine(text, kLabel, volume.label);
    appendLine(text, kType, volume.type);
    appendLine(text, kSize, std::to_string(volume.totalBytes));
    appendLine(text, kDevice, volume.device);
    appendLine(text, kMountPoint, volume.mountPoint);
    appendLine(text, kRoot, volume.root);
    appendLine(text, kPath, record.relativePath);
    appendLine(text, kScanned, record.scannedPath);
    if (const auto& image = record.image) {
        appendLine(text, kImage, kImageFileSystem);
        appendLine(text, kImageLabel, image->label);
        appendLine(text, kImageVolume, image->volumeIdentifier);
        appendLine(text, kImageVolumeSet, image->volumeSetIdentifier);
        if (image->creationTime)
            appendLine(text, kImageCreated, std::to_string(*image->creationTime));
        appendLine(text, kImageSize, std::to_string(image->volumeSpaceBytes));
    }
    return text;
}

std::optional<VolumeRecord> parseVolumeRecord(std::string_view text)
{
    VolumeRecord record;
    platform::Volume& volume = record.volume;
    bool isImage = false;
    DiscImageRecord image;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        // A record edited on Windows may end its lines in CR LF.
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.starts_with('#'))
            continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = line.substr(0, equals);
        auto value = unescaped(line.substr(equals + 1));
        if (!value)
            return std::nullopt;
        if (key == kUuid) {
            volume.uuid = std::move(*value);
        } else if (key == kLabel) {
            volume.label = std::move(*value);
        } else if (key == kType) {
            volume.type = std::move(*value);
        } else if (key == kSize) {
            if (!parseNumber(*value, volume.totalBytes))
                return std::nullopt;
        } else if (key == kDevice) {
            volume.device = std::move(*value);
        } else if (key == kMountPoint) {
            volume.mountPoint = std::move(*value);
        } else if (key == kRoot) {
            volume.root = std::move(*value);
        } else if (key == kPath) {
            record.relativePath = std::move(*value);
        } else if (key == kScanned) {
            record.scannedPath = std::move(*value);
        } else if (key == kImage) {
            isImage = true;
        } else if (!takeImageKey(key, *value, image)) {
            return std::nullopt;
        }
    }
    if (isImage)
        record.image = std::move(image);
    // An image file found on no volume that could be told is still looked for at its path.
    if ((volume.mountPoint.empty() && !isImage) || record.scannedPath.empty())
        return std::nullopt;
    return record;
}

} // namespace mellowby::catalog
