#include "platform/programpath.h"

#include <cerrno>

#include <unistd.h>

#include "platform/paths.h"

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
    // The kernel names the executable by its absolute path; anything else names no folder.
    if (!target.starts_with(kPathSeparator))
        return std::unexpected(errorFromErrno(ENOENT));
    return std::string(parentOf(target));
}

} // namespace mellowby::platform
