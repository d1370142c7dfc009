#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/textcollator.h"

namespace mellowby::search {

// Sort keys of the texts of one column, one per row or per table entry. They may be made by
// several writers on threads of their own, each writing the keys of entries of its own into a
// buffer of its own: at millions of rows, making keys is most of what a click on a column header
// waits for, and the halves are not copied together afterwards.
class SortKeys {
public:
    // Room for count keys, made by at most writers writers.
    explicit SortKeys(std::size_t count, std::size_t writers = 1);

    class Writer {
    public:
        // The writer-th of keys, which makes keys with collator.
        Writer(SortKeys& keys, std::size_t writer, TextCollator& collator);
        void set(std::size_t index, std::string_view text);

    private:
        SortKeys& m_keys;
        std::uint32_t m_writer;
        TextCollator& m_collator;
    };

    std::size_t size() const { return m_places.size(); }
    std::string_view at(std::size_t index) const
    {
        const Place& place = m_places[index];
        return std::string_view(m_buffers[place.buffer]).substr(place.offset, place.length);
    }
    // The first sixteen bytes of the key, as two chunks of keyChunk: kept apart, as sorting reads
    // them for every entry in turn, and most keys differ within them.
    struct Prefix {
        std::uint64_t high = 0;
        std::uint64_t low = 0;
        auto operator<=>(const Prefix&) const = default;
    };
    Prefix prefix(std::size_t index) const { return m_prefixes[index]; }

private:
    struct Place {
        std::uint64_t offset = 0;
        std::uint32_t length = 0;
        std::uint32_t buffer = 0;
    };
    std::vector<std::string> m_buffers;
    std::vector<Place> m_places;
    std::vector<Prefix> m_prefixes;
};

// Eight bytes of a key from offset from, as a number that orders as the bytes do, padded with
// NULs: keys hold no NUL byte, so a key that ends first comes first.
std::uint64_t keyChunk(std::string_view key, std::size_t from);

// The entries of keys in the order of their keys, equal keys in the order of the entries either
// way. Many are sorted on two threads.
std::vector<std::uint32_t> orderOfKeys(const SortKeys& keys, bool descending);

} // namespace mellowby::search
