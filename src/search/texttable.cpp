#include "search/texttable.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <xxhash.h>

namespace mellowby::search {

namespace {

constexpr std::size_t kBlockBytes = std::size_t { 1 } << 16U;
constexpr std::size_t kFirstSlots = 64;

std::uint64_t hashOf(std::string_view text)
{
    return XXH3_64bits(text.data(), text.size());
}

} // namespace

std::uint32_t TextTable::intern(std::string_view text)
{
    // At most half the slots are taken, so a probe meets an empty slot soon.
    if ((m_texts.size() + 1) * 2 > m_slots.size())
        growSlots();
    const std::uint64_t hash = hashOf(text);
    const auto high = static_cast<std::uint32_t>(hash >> 32U);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        Slot& slot = m_slots[at];
        if (slot.numberAfter == 0) {
            if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max())
                throw std::length_error("too many distinct texts");
            m_texts.push_back(keep(text));
            slot = { static_cast<std::uint32_t>(m_texts.size()), high };
            return slot.numberAfter - 1;
        }
        if (slot.hash == high && m_texts[slot.numberAfter - 1] == text)
            return slot.numberAfter - 1;
    }
}

void TextTable::clear()
{
    // Released, not kept: the table of one list should not pin its memory for the next.
    *this = TextTable();
}

std::string_view TextTable::keep(std::string_view text)
{
    if (text.empty())
        return {};
    if (text.size() > m_blockLeft) {
        // A text longer than a block gets one of its own; the current block stays in use.
        const std::size_t bytes = std::max(kBlockBytes, text.size());
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(bytes));
        if (bytes > kBlockBytes) {
            std::memcpy(m_blocks.back().get(), text.data(), text.size());
            return { m_blocks.back().get(), text.size() };
        }
        m_blockEnd = m_blocks.back().get();
        m_blockLeft = bytes;
    }
    char* const start = m_blockEnd;
    std::memcpy(start, text.data(), text.size());
    m_blockEnd += text.size();
    m_blockLeft -= text.size();
    return { start, text.size() };
}

void TextTable::growSlots()
{
    const std::size_t count = m_slots.empty() ? kFirstSlots : m_slots.size() * 2;
    std::vector<Slot> slots(count);
    const std::size_t mask = count - 1;
    for (std::uint32_t number = 0; number < m_texts.size(); ++number) {
        const std::uint64_t hash = hashOf(m_texts[number]);
        std::size_t at = hash & mask;
        while (slots[at].numberAfter != 0)
            at = (at + 1) & mask;
        slots[at] = { number + 1, static_cast<std::uint32_t>(hash >> 32U) };
    }
    m_slots = std::move(slots);
}

} // namespace mellowby::search
