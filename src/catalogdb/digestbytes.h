#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mellowby::catalogdb {

// The bytes of one file's digest, in the order its tool prints them, held in place: a catalog's
// files are read with one each, by the million, and a digest is one byte too long to stay inside
// a std::string.
class DigestBytes {
public:
    // The longest digest a catalog holds: SHA-256's.
    static constexpr std::size_t kMostBytes = 32;

    DigestBytes() = default;

    // False, leaving none, for more bytes than any digest has.
    bool assign(std::string_view bytes);
    std::string_view view() const { return { m_bytes.data(), m_size }; }
    bool empty() const { return m_size == 0; }

    friend bool operator==(const DigestBytes& a, const DigestBytes& b) { return a.view() == b.view(); }

private:
    std::array<char, kMostBytes> m_bytes {};
    std::uint8_t m_size = 0;
};

} // namespace mellowby::catalogdb
