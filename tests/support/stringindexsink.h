#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "names/indexsink.h"

namespace mellowby::tests {

// An index written into a string, for tests that compare the bytes of indexes.
class StringIndexSink final : public names::IIndexSink {
public:
    std::expected<void, platform::Error> write(std::string_view bytes) override
    {
        written += bytes;
        return {};
    }
    std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        written.replace(offset, bytes.size(), bytes);
        return {};
    }
    std::string written;
};

} // namespace mellowby::tests
