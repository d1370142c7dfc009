#include "catalogdb/digestbytes.h"

#include <algorithm>

namespace mellowby::catalogdb {

bool DigestBytes::assign(std::string_view bytes)
{
    if (bytes.size() > kMostBytes) {
        m_size = 0;
        return false;
    }
    std::ranges::copy(bytes, m_bytes.begin());
    m_size = static_cast<std::uint8_t>(bytes.size());
    return true;
}

} // namespace mellowby::catalogdb
