#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include <iconv.h>

#include "platform/error.h"

namespace mellowby::app {

// One iconv conversion descriptor, closed with its owner.
class IconvHandle {
public:
    // A descriptor that turns text in charset `from` into charset `to`.
    static std::expected<IconvHandle, platform::Error> open(const char* to, const char* from);

    IconvHandle(IconvHandle&& other) noexcept;
    IconvHandle& operator=(IconvHandle&& other) noexcept;
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    ~IconvHandle();

    iconv_t get() const { return m_descriptor; }

    // Back to the initial shift state, so that a new text does not continue the last one.
    void reset();

    // The whole text converted, or nothing when any part of it has no form in the target charset
    // or is not valid in the source charset.
    std::optional<std::string> convertAll(std::string_view text);

private:
    explicit IconvHandle(iconv_t descriptor);

    iconv_t m_descriptor;
};

} // namespace mellowby::app
