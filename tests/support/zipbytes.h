#pragma once

// Zip files written byte by byte, for archives no zip tool would make: names with any bytes and
// without the UTF-8 flag, members that declare sizes they do not have, and a sparse file of
// gigabytes whose data is a hole.

#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace mellowby::tests {

struct ZipEntry {
    ZipEntry(
        std::string entryName, std::string entryData, std::optional<std::uint64_t> declared = {}, bool utf8 = false)
        : name(std::move(entryName))
        , data(std::move(entryData))
        , declaredSize(declared)
        , utf8Flag(utf8)
    {
    }

    std::string name; // the bytes of the name, as they are written
    std::string data;
    // A size to declare instead of the data's (a zip bomb, or the hole of a sparse file).
    std::optional<std::uint64_t> declaredSize;
    bool utf8Flag = false; // general purpose bit 11
};

namespace zipdetail {

inline std::uint32_t crc32(std::string_view bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> values {};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            values[n] = c;
        }
        return values;
    }();
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const char b : bytes)
        crc = table[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFU;
}

inline void put(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// 2004-05-06 07:08:10, local time as zip keeps it.
constexpr std::uint16_t kDosTime = 7 << 11 | 8 << 5 | 5;
constexpr std::uint16_t kDosDate = (2004 - 1980) << 9 | 5 << 5 | 6;
constexpr std::uint64_t kMax32 = 0xFFFFFFFF;

// A local header (central == false) or a central directory entry for one stored member.
inline std::string header(const ZipEntry& entry, std::uint64_t size, std::uint64_t offset, bool central)
{
    const bool zip64 = size >= kMax32 || offset >= kMax32;
    std::string extra;
    if (zip64) {
        put(extra, 1, 2);
        put(extra, central ? 24 : 16, 2);
        put(extra, size, 8);
        put(extra, size, 8);
        if (central)
            put(extra, offset, 8);
    }
    std::string out;
    put(out, central ? 0x02014B50 : 0x04034B50, 4);
    if (central)
        put(out, 45 | 3 << 8, 2); // made by: Unix
    put(out, zip64 ? 45 : 10, 2);
    put(out, entry.utf8Flag ? 0x0800 : 0, 2);
    put(out, 0, 2); // stored
    put(out, kDosTime, 2);
    put(out, kDosDate, 2);
    put(out, crc32(entry.data), 4);
    put(out, zip64 ? kMax32 : size, 4);
    put(out, zip64 ? kMax32 : size, 4);
    put(out, entry.name.size(), 2);
    put(out, extra.size(), 2);
    if (central) {
        put(out, 0, 2); // comment
        put(out, 0, 2); // disk
        put(out, 0, 2); // internal attributes
        put(out, entry.name.ends_with('/') ? 040755ULL << 16 : 0100644ULL << 16, 4);
        put(out, zip64 ? kMax32 : offset, 4);
    }
    return out + entry.name + extra;
}

// The central directory and its end, with zip64 records when the directory starts past 4 GB.
inline std::string directory(const std::vector<ZipEntry>& entries, const std::vector<std::uint64_t>& offsets,
    const std::vector<std::uint64_t>& sizes, std::uint64_t start)
{
    std::string out;
    for (std::size_t i = 0; i < entries.size(); ++i)
        out += header(entries[i], sizes[i], offsets[i], true);
    const std::uint64_t size = out.size();
    if (start >= kMax32) {
        const std::uint64_t record = start + size;
        put(out, 0x06064B50, 4);
        put(out, 44, 8);
        put(out, 45, 2);
        put(out, 45, 2);
        put(out, 0, 4);
        put(out, 0, 4);
        put(out, entries.size(), 8);
        put(out, entries.size(), 8);
        put(out, size, 8);
        put(out, start, 8);
        put(out, 0x07064B50, 4);
        put(out, 0, 4);
        put(out, record, 8);
        put(out, 1, 4);
    }
    put(out, 0x06054B50, 4);
    put(out, 0, 4);
    put(out, entries.size(), 2);
    put(out, entries.size(), 2);
    put(out, size, 4);
    put(out, start >= kMax32 ? kMax32 : start, 4);
    put(out, 0, 2);
    return out;
}

} // namespace zipdetail

// The bytes of a zip holding entries, stored. A declared size is written in the headers while
// only the data given follows: listing must believe the headers, never read the data.
inline std::string zipBytes(const std::vector<ZipEntry>& entries)
{
    std::string out;
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint64_t> sizes;
    for (const auto& entry : entries) {
        offsets.push_back(out.size());
        sizes.push_back(entry.declaredSize.value_or(entry.data.size()));
        out += zipdetail::header(entry, sizes.back(), offsets.back(), false);
        out += entry.data;
    }
    return out + zipdetail::directory(entries, offsets, sizes, out.size());
}

// Writes at path a real zip of one stored member of size zero bytes, whose data is a hole: a
// file of that size that takes a few blocks of disc.
inline void writeSparseZip(const std::string& path, const std::string& name, std::uint64_t size)
{
    const ZipEntry entry { name, {}, size, false };
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string local = zipdetail::header(entry, size, 0, false);
    out.write(local.data(), static_cast<std::streamsize>(local.size()));
    out.seekp(static_cast<std::streamoff>(local.size() + size));
    const std::string end = zipdetail::directory({ entry }, { 0 }, { size }, local.size() + size);
    out.write(end.data(), static_cast<std::streamsize>(end.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace mellowby::tests
