#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mellowby::names {

// The size and date texts of a catalog's files, each distinct one once after its length (32
// bits), as the FileTexts section of an index holds them; a text is known by its offset there. A
// catalog has one of each for every file and few distinct ones, so they are numbered by open
// addressing: the table of those few texts stays in the processor's cache.
class FileTexts {
public:
    static constexpr std::uint32_t kTooMany = 0xFFFFFFFF;

    // The offset of value, added when it is new; kTooMany once the texts outgrow 32-bit offsets.
    std::uint32_t number(std::string_view value);

    const std::string& bytes() const { return m_texts; }
    // The memory it takes.
    std::size_t heldBytes() const { return m_texts.capacity() + m_slots.capacity() * sizeof(Slot); }
    void release();

private:
    struct Slot {
        std::uint64_t hash;
        std::uint32_t offset;
        std::uint32_t length;
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;

    // The offset of value, or kEmpty with slot set for where it goes.
    std::uint32_t find(std::string_view value, std::uint64_t hash, std::size_t& slot) const;
    // Makes room for one more.
    void reserveOne();

    std::string m_texts;
    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

} // namespace mellowby::names
