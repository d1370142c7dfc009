#pragma once

#include <cstdint>
#include <expected>
#include <string_view>

#include "platform/error.h"

namespace mellowby::names {

// Where the bytes of an index go as they are written.
class IIndexSink {
public:
    virtual ~IIndexSink() = default;
    virtual std::expected<void, platform::Error> write(std::string_view bytes) = 0;
    // Writes over bytes already written (the header, known last).
    virtual std::expected<void, platform::Error> writeAt(std::uint64_t offset, std::string_view bytes) = 0;
};

} // namespace mellowby::names
