#include "platform/error.h"

#include <cstring>

namespace mellowby::platform {

Error errorFromErrno(int errnoValue)
{
    return Error { errnoValue, std::strerror(errnoValue) };
}

} // namespace mellowby::platform
