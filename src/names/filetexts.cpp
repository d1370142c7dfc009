#include "names/filetexts.h"

#include <algorithm>
#include <xxhash.h>

namespace mellowby::names {

std::uint32_t FileTexts::number(std::string_view value)
{
    reserveOne();
    const std::uint64_t hash = XXH3_64bits(value.data(), value.size());
    std::size_t slot = 0;
    const std::uint32_t found = find(value, hash, slot);
    if (found != kEmpty)
        return found;
    const std::uint64_t offset = m_texts.size();
    if (offset + sizeof(std::uint32_t) + value.size() >= kTooMany)
        return kTooMany;
    const auto length = static_cast<std::uint32_t>(value.size());
    m_texts.append(reinterpret_cast<const char*>(&length), sizeof length);
    m_texts += value;
    m_slots[slot] = { hash, static_cast<std::uint32_t>(offset), length };
    ++m_used;
    return static_cast<std::uint32_t>(offset);
}

void FileTexts::release()
{
    m_texts = {};
    m_slots = {};
    m_used = 0;
}

std::uint32_t FileTexts::find(std::string_view value, std::uint64_t hash, std::size_t& slot) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (slot = hash & mask; m_slots[slot].offset != kEmpty; slot = (slot + 1) & mask) {
        const Slot& entry = m_slots[slot];
        if (entry.hash == hash && entry.length == value.size()
            && std::string_view(m_texts).substr(entry.offset + sizeof(std::uint32_t), entry.length) == value)
            return entry.offset;
    }
    return kEmpty;
}

void FileTexts::reserveOne()
{
    if (m_slots.size() >= 2 * (m_used + 1))
        return;
    // Twice the room, every text placed again.
    std::vector<Slot> slots(std::max<std::size_t>(1024, m_slots.size() * 2), Slot { 0, kEmpty, 0 });
    const std::size_t mask = slots.size() - 1;
    for (const Slot& entry : m_slots) {
        if (entry.offset == kEmpty)
            continue;
        std::size_t slot = entry.hash & mask;
        while (slots[slot].offset != kEmpty)
            slot = (slot + 1) & mask;
        slots[slot] = entry;
    }
    m_slots = std::move(slots);
}

} // namespace mellowby::names
