#include "platform/error.h"

#include <array>
#include <cstring>

namespace mellowby::platform {

Error errorFromErrno(int errnoValue)
{
    // strerror may hand every thread the same buffer, and a scan reports its errors from a
    // thread of its own. The GNU strerror_r returns the text, in buffer or a static one.
    std::array<char, 256> buffer {};
    return Error { errnoValue, ::strerror_r(errnoValue, buffer.data(), buffer.size()) };
}

} // namespace mellowby::platform
