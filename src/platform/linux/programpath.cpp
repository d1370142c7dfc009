#include "platform/programpath.h"

#include <cerrno>

#include <unistd.h>

namespace mellowby::platform {

std::expected<std::string, Error> runningExecutableFolder()
{
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
        if (length < 0)
            return std::unexpected(errorFromErrno(errno));
        // readlink truncates silently; a full buffer may mean a longer path.
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            break;
        }
        target.resize(target.size() * 2);
    }
    const auto slash = target.rfind('/');
    if (slash == std::string::npos)
        return std::unexpected(errorFromErrno(ENOENT));
    return slash == 0 ? std::string("/") : target.substr(0, slash);
}

} // namespace mellowby::platform
