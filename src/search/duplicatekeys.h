#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/radixsort.h"
#include "search/texttable.h"

// What the finders of duplicates share: the keys that repeat, and texts many files share.
namespace mellowby::search::duplicatekeys {

// The keys that came more than once, ascending, with where the files of each begin among all the
// files of repeated keys, in their order.
struct RepeatedKeys {
    std::vector<std::uint64_t> keys;
    std::vector<std::size_t> firsts; // one more than keys: the last is the number of such files

    // The position of key among keys. Every file of the second pass asks, so the keys are found
    // through a table of slots rather than by halving: a search of a few thousand keys costs more
    // in mispredicted branches than the rest of what is done with a file.
    std::optional<std::size_t> find(std::uint64_t key) const
    {
        if (slots.empty()) {
            const auto found = std::ranges::lower_bound(keys, key);
            if (found == keys.end() || *found != key)
                return std::nullopt;
            return static_cast<std::size_t>(found - keys.begin());
        }
        const std::size_t mask = slots.size() - 1;
        for (std::size_t at = slotOf(key, mask);; at = (at + 1) & mask) {
            const std::uint32_t number = slots[at];
            if (number == 0)
                return std::nullopt;
            if (keys[number - 1] == key)
                return number - 1;
        }
    }

    // Fills the slots, at most half of them taken; too many keys for them are halved for.
    void makeSlots()
    {
        slots.clear();
        if (keys.size() >= std::numeric_limits<std::uint32_t>::max() / 4)
            return;
        const std::size_t count = std::bit_ceil(std::max<std::size_t>(keys.size() * 2, 16));
        slots.assign(count, 0);
        const std::size_t mask = count - 1;
        for (std::size_t number = 0; number < keys.size(); ++number) {
            std::size_t at = slotOf(keys[number], mask);
            while (slots[at] != 0)
                at = (at + 1) & mask;
            slots[at] = static_cast<std::uint32_t>(number + 1);
        }
    }

    std::vector<std::uint32_t> slots; // a key's position plus one; 0 for an empty slot

private:
    // The keys are hashes already; their high bits, mixed, spread them over the slots.
    static std::size_t slotOf(std::uint64_t key, std::size_t mask)
    {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32U) & mask;
    }
};

inline RepeatedKeys repeatedOf(std::vector<std::uint64_t> keys)
{
    radixSort(keys);
    RepeatedKeys repeated;
    repeated.firsts.push_back(0);
    for (std::size_t first = 0; first < keys.size();) {
        std::size_t end = first + 1;
        while (end < keys.size() && keys[end] == keys[first])
            ++end;
        if (end - first >= 2) {
            repeated.keys.push_back(keys[first]);
            repeated.firsts.push_back(repeated.firsts.back() + (end - first));
        }
        first = end;
    }
    repeated.makeSlots();
    return repeated;
}

// Numbers texts that many files share (folders, sizes), each text kept once.
class SharedTexts {
public:
    // The last text asked for through it, which the next is found like without a look-up: the
    // files of a folder come together, and the sizes of the files of a disc repeat.
    using Recent = TextTable::Recent;

    std::uint32_t number(std::string_view text, Recent& recent) { return m_texts.intern(text, recent); }
    // The number of a size text, looked for first by its kilobytes in a small table of the sizes
    // met last: the sizes of a disc's files seldom come one after another, and hashing each text
    // costs more than the rest of what is done with its file.
    std::uint32_t numberOfSize(std::string_view text, std::uint64_t kilobytes)
    {
        return number(text, m_sizes[kilobytes % m_sizes.size()]);
    }

    // Every text, by number.
    TextTable take()
    {
        m_sizes = {}; // views of the texts taken
        return std::move(m_texts);
    }

private:
    TextTable m_texts;
    std::array<Recent, 4096> m_sizes {};
};

} // namespace mellowby::search::duplicatekeys
