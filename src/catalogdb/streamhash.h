#pragma once

#include <array>
#include <string_view>

struct XXH3_state_s;

namespace mellowby::catalogdb {

// XXH3-128 of bytes given a piece at a time, in its canonical form (the bytes `xxhsum -H2`
// prints in hexadecimal).
using Hash128 = std::array<unsigned char, 16>;

class StreamHash {
public:
    StreamHash();
    ~StreamHash();
    StreamHash(const StreamHash&) = delete;
    StreamHash& operator=(const StreamHash&) = delete;

    void update(std::string_view bytes);
    // Of everything given so far.
    Hash128 digest() const;

private:
    XXH3_state_s* m_state;
};

inline std::string_view bytesOf(const Hash128& hash)
{
    return { reinterpret_cast<const char*>(hash.data()), hash.size() };
}

} // namespace mellowby::catalogdb
