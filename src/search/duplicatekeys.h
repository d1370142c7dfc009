#pragma once

#include <algorithm>
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

inline RepeatedKeys repeatedOf(std::vector<std::uint64_t> keys)
{
    std::ranges::sort(keys);
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
    // Every text, by number.
    std::vector<std::string> take()
    {
        std::vector<std::string> texts(m_numbers.size());
        while (!m_numbers.empty()) {
            auto node = m_numbers.extract(m_numbers.begin());
            texts[node.mapped()] = std::move(node.key());
        }
        return texts;
    }

private:
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> m_numbers;
};

} // namespace mellowby::search::duplicatekeys
