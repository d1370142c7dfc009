#pragma once

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "platform/filesystem.h"

namespace mellowby::names {

// Bytes in memory read as a file would be: an index made where the cache cannot keep it, a
// catalog handed over whole.
class MemoryFile final : public platform::IReadableFile {
public:
    explicit MemoryFile(std::string bytes, platform::FileStamp stamp = {})
        : m_bytes(std::move(bytes))
        , m_stamp(stamp)
    {
        m_stamp.size = m_bytes.size();
    }
    const platform::FileStamp& stamp() const override { return m_stamp; }
    std::expected<std::size_t, platform::Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        const std::string_view rest = std::string_view(m_bytes).substr(std::min<std::uint64_t>(offset, m_bytes.size()));
        const std::size_t size = std::min(rest.size(), into.size());
        if (size > 0)
            std::memcpy(into.data(), rest.data(), size);
        return size;
    }

private:
    std::string m_bytes;
    platform::FileStamp m_stamp;
};

} // namespace mellowby::names
