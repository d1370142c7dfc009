#pragma once

#include <cerrno>
#include <cstddef>
#include <expected>
#include <string_view>

#include <dirent.h>

#include "platform/error.h"

namespace mellowby::platform {

// Reads the entries of the open folder fd with getdents64, a buffer full at a time, and calls
// visit(name, d_type) for each one but "." and "..", in the order the system gives them. On an
// error the entries visited so far stay visited.
template <typename Visit>
std::expected<void, Error> readDirectoryEntries(int fd, char* buffer, std::size_t size, Visit&& visit)
{
    for (;;) {
        const ssize_t filled = ::getdents64(fd, buffer, size);
        if (filled < 0 && errno == EINTR)
            continue;
        if (filled < 0)
            return std::unexpected(errorFromErrno(errno));
        if (filled == 0)
            return {};
        for (ssize_t offset = 0; offset < filled;) {
            const auto* record = reinterpret_cast<const struct dirent64*>(buffer + offset);
            offset += record->d_reclen;
            const std::string_view name(record->d_name);
            if (name != "." && name != "..")
                visit(name, record->d_type);
        }
    }
}

} // namespace mellowby::platform
