#include "search/sortkeys.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <span>
#include <stdexcept>
#include <thread>

namespace mellowby::search {

namespace {

struct KeyedEntry {
    SortKeys::Prefix chunks; // sixteen bytes of its key, at the depth its run is sorted at
    std::uint32_t entry = 0;
};

// Sixteen bytes of a key from offset from, as keyChunk gives them.
SortKeys::Prefix keyChunks(std::string_view key, std::size_t from)
{
    return { keyChunk(key, from), keyChunk(key, from + 8) };
}

// Sorts entries by sixteen bytes of their keys, then each run that agrees on those by the next
// sixteen, and so on: every entry's key is read once per sixteen bytes it shares with others, where
// comparing whole keys would read two keys, scattered in memory, for each comparison. The entries
// come with their first sixteen bytes. Keys wholly equal keep the order of their entries either way.
void sortByKeyChunks(std::span<KeyedEntry> entries, const SortKeys& keys, bool descending)
{
    struct Run {
        std::size_t begin;
        std::size_t end;
        std::size_t depth; // the sixteen bytes its entries hold, counted in sixteens
    };
    std::vector<Run> runs { { 0, entries.size(), 0 } };
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        const std::span<KeyedEntry> part = entries.subspan(run.begin, run.end - run.begin);
        std::ranges::sort(part, [descending](const KeyedEntry& a, const KeyedEntry& b) {
            if (a.chunks != b.chunks)
                return descending ? a.chunks > b.chunks : a.chunks < b.chunks;
            return a.entry < b.entry;
        });
        for (std::size_t begin = 0; begin < part.size();) {
            std::size_t end = begin + 1;
            while (end < part.size() && part[end].chunks == part[begin].chunks)
                ++end;
            // Chunks that end in a NUL hold the end of the keys: they are equal.
            if (end - begin > 1 && (part[begin].chunks.low & 0xFFU) != 0) {
                for (KeyedEntry& keyed : part.subspan(begin, end - begin))
                    keyed.chunks = keyChunks(keys.at(keyed.entry), (run.depth + 1) * 16);
                runs.push_back({ run.begin + begin, run.begin + end, run.depth + 1 });
            }
            begin = end;
        }
    }
}

} // namespace

SortKeys::SortKeys(std::size_t count, std::size_t writers)
    : m_buffers(writers)
    , m_places(count)
    , m_prefixes(count)
{
}

SortKeys::Writer::Writer(SortKeys& keys, std::size_t writer, TextCollator& collator)
    : m_keys(keys)
    , m_writer(static_cast<std::uint32_t>(writer))
    , m_collator(collator)
{
    if (writer >= keys.m_buffers.size())
        throw std::logic_error("more writers of sort keys than made room for");
}

void SortKeys::Writer::set(std::size_t index, std::string_view text)
{
    std::string& buffer = m_keys.m_buffers[m_writer];
    const std::size_t start = buffer.size();
    m_collator.appendKey(buffer, text);
    const std::size_t length = buffer.size() - start;
    if (length > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("sort key too long");
    m_keys.m_places[index] = { start, static_cast<std::uint32_t>(length), m_writer };
    m_keys.m_prefixes[index] = keyChunks(std::string_view(buffer).substr(start), 0);
}

std::uint64_t keyChunk(std::string_view key, std::size_t from)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (from + 8 <= key.size()) {
            std::uint64_t chunk = 0;
            std::memcpy(&chunk, key.data() + from, sizeof chunk);
            return std::byteswap(chunk);
        }
    }
    std::uint64_t chunk = 0;
    for (std::size_t i = from; i < from + 8; ++i)
        chunk = (chunk << 8U) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0U);
    return chunk;
}

std::vector<std::uint32_t> orderOfKeys(const SortKeys& keys, bool descending)
{
    if (keys.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many keys to sort");
    std::vector<KeyedEntry> entries(keys.size());
    for (std::size_t entry = 0; entry < entries.size(); ++entry)
        entries[entry] = { keys.prefix(entry), static_cast<std::uint32_t>(entry) };
    // Many entries are split in two by their first chunks, about the median of a sample, and each
    // part is sorted on a thread of its own: the parts end up one after the other.
    constexpr std::size_t kEntriesForTwoThreads = 1U << 16U;
    if (entries.size() < kEntriesForTwoThreads) {
        sortByKeyChunks(entries, keys, descending);
    } else {
        std::vector<SortKeys::Prefix> sample;
        constexpr std::size_t kSample = 1024;
        for (std::size_t i = 0; i < kSample; ++i)
            sample.push_back(entries[i * (entries.size() / kSample)].chunks);
        std::ranges::nth_element(sample, sample.begin() + kSample / 2);
        const SortKeys::Prefix middle = sample[kSample / 2];
        const auto firstPart = std::ranges::partition(entries, [middle, descending](const KeyedEntry& keyed) {
            return descending ? keyed.chunks >= middle : keyed.chunks < middle;
        });
        const auto split = static_cast<std::size_t>(firstPart.begin() - entries.begin());
        const std::span<KeyedEntry> all(entries);
        std::exception_ptr helperFailed;
        {
            const std::jthread helper([&] {
                try {
                    sortByKeyChunks(all.first(split), keys, descending);
                } catch (...) {
                    helperFailed = std::current_exception();
                }
            });
            sortByKeyChunks(all.subspan(split), keys, descending);
        }
        if (helperFailed)
            std::rethrow_exception(helperFailed);
    }
    std::vector<std::uint32_t> order(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].entry;
    return order;
}

} // namespace mellowby::search
