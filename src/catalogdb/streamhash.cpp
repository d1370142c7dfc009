#include "catalogdb/streamhash.h"

#include <cstring>
#include <new>
#include <xxhash.h>

namespace mellowby::catalogdb {

StreamHash::StreamHash()
    : m_state(XXH3_createState())
{
    if (m_state == nullptr)
        throw std::bad_alloc();
    XXH3_128bits_reset(m_state);
}

StreamHash::~StreamHash()
{
    XXH3_freeState(m_state);
}

void StreamHash::update(std::string_view bytes)
{
    XXH3_128bits_update(m_state, bytes.data(), bytes.size());
}

Hash128 StreamHash::digest() const
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_state));
    Hash128 hash;
    std::memcpy(hash.data(), canonical.digest, hash.size());
    return hash;
}

} // namespace mellowby::catalogdb
