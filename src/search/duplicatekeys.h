#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What the finders of duplicates share: the keys that repeat, and texts many files share.
namespace mellowby::search::duplicatekeys {

// The keys that came more than once, ascending, with where the files of each begin among all the
// files of repeated keys, in their order.
struct RepeatedKeys {
    std::vector<std::uint64_t> keys;
    std::vector<std::size_t> firsts; // one more than keys: the last is the number of such files

    std::optional<std::size_t> find(std::uint64_t key) const
    {
        const auto found = std::ranges::lower_bound(keys, key);
        if (found == keys.end() || *found != key)
            return std::nullopt;
        return static_cast<std::size_t>(found - keys.begin());
    }
};

// Sorts keys eleven bits at a time from the lowest, in six passes: millions of hashed keys sort
// several times faster so than by comparing them.
inline void sortKeys(std::vector<std::uint64_t>& keys)
{
    constexpr unsigned kBits = 11;
    constexpr std::size_t kBuckets = std::size_t { 1 } << kBits;
    std::vector<std::uint64_t> other(keys.size());
    for (unsigned shift = 0; shift < 64; shift += kBits) {
        std::vector<std::size_t> start(kBuckets + 1, 0);
        for (const std::uint64_t key : keys)
            ++start[((key >> shift) & (kBuckets - 1)) + 1];
        for (std::size_t bucket = 1; bucket <= kBuckets; ++bucket)
            start[bucket] += start[bucket - 1];
        for (const std::uint64_t key : keys)
            other[start[(key >> shift) & (kBuckets - 1)]++] = key;
        keys.swap(other);
    }
}

inline RepeatedKeys repeatedOf(std::vector<std::uint64_t> keys)
{
    sortKeys(keys);
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
    return repeated;
}

// Looks texts up by their view, without making a string of each.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view> {}(text); }
};

// Numbers texts that many files share (folders, sizes), each text kept once.
class SharedTexts {
public:
    // The last text asked for through it, which the next is found like without a look-up: the
    // files of a folder come together, and the sizes of the files of a disc repeat.
    struct Recent {
        std::optional<std::uint32_t> number;
        std::string_view text; // a key of the numbers, which does not move
    };

    std::uint32_t number(std::string_view text, Recent& recent)
    {
        if (recent.number && text == recent.text)
            return *recent.number;
        auto found = m_numbers.find(text);
        if (found == m_numbers.end())
            found = m_numbers.emplace(std::string(text), static_cast<std::uint32_t>(m_numbers.size())).first;
        recent = { found->second, found->first };
        return found->second;
    }
    // The number of a size text, looked for first by its kilobytes in a small table of the sizes
    // met last: the sizes of a disc's files seldom come one after another, and hashing each text
    // costs more than the rest of what is done with its file.
    std::uint32_t numberOfSize(std::string_view text, std::uint64_t kilobytes)
    {
        Recent& recent = m_sizes[kilobytes % m_sizes.size()];
        return number(text, recent);
    }

    // Every text, by number.
    std::vector<std::string> take()
    {
        m_sizes = {}; // views of the texts taken
        std::vector<std::string> texts(m_numbers.size());
        while (!m_numbers.empty()) {
            auto node = m_numbers.extract(m_numbers.begin());
            texts[node.mapped()] = std::move(node.key());
        }
        return texts;
    }

private:
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> m_numbers;
    std::array<Recent, 4096> m_sizes {};
};

} // namespace mellowby::search::duplicatekeys
