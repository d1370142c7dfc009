#pragma once

#include <string>

namespace mellowby::platform {

// A failure as the error box shows it: a number (errno for OS failures, 0 when there is none)
// and a description in words.
struct Error {
    int number = 0;
    std::string description;

    bool operator==(const Error&) const = default;
};

// The Error for an errno value, with the C library's text for it.
Error errorFromErrno(int errnoValue);

} // namespace mellowby::platform
