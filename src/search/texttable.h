#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace mellowby::search {

// Texts that many rows share (folders, sizes, dates, names met again), each kept once and
// numbered in the order it first came. A text never moves once added, so a view from at() stays
// valid while the table grows. Millions of look-ups go through it when a list is sorted or its
// duplicates found: the texts lie in large blocks and the look-up is one open-addressed table of
// hashes, without an allocation per text.
class TextTable {
public:
    // The number of text, which is added when new.
    std::uint32_t intern(std::string_view text);
    // The same, first compared with the text last asked for through recent: rows that come together
    // often repeat it (the files of a folder, its date), and a comparison costs less than a hash.
    struct Recent {
        std::optional<std::uint32_t> number;
        std::string_view text; // the table's, which does not move
    };
    std::uint32_t intern(std::string_view text, Recent& recent)
    {
        if (recent.number && recent.text == text)
            return *recent.number;
        const std::uint32_t number = intern(text);
        recent = { number, at(number) };
        return number;
    }

    std::string_view at(std::uint32_t number) const { return m_texts[number]; }
    std::size_t size() const { return m_texts.size(); }
    void clear();

private:
    struct Slot {
        std::uint32_t numberAfter = 0; // the text's number plus one; 0 for an empty slot
        std::uint32_t hash = 0; // the high half of its hash, which tells most texts apart
    };
    std::string_view keep(std::string_view text);
    void growSlots();

    std::vector<std::string_view> m_texts;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_blockLeft = 0;
    char* m_blockEnd = nullptr;
    std::vector<Slot> m_slots;
};

} // namespace mellowby::search
