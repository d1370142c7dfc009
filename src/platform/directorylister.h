#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace mellowby::platform {

// One entry of a directory listing, as the scanner and the existence tests need it.
struct DirEntry {
    std::string name;
    bool isDirectory = false;
    bool isHidden = false; // the name starts with "."
    std::uint64_t size = 0;
    // Seconds since 1970-01-01 UTC: the birth time where the file system keeps one, else the
    // modification time. Empty when the entry could not be examined.
    std::optional<std::int64_t> creationTime;
};

class IDirectoryLister {
public:
    virtual ~IDirectoryLister() = default;

    // Appends the entries of the directory at path to out, in the order the OS returns them,
    // "." and ".." included (callers skip them). Symbolic links are reported as files with
    // their own size and are never followed. An entry that vanishes between being listed and
    // being examined is left out. On an error the entries read so far stay in out.
    virtual std::expected<void, Error> list(const std::string& path, std::vector<DirEntry>& out) = 0;
};

} // namespace mellowby::platform
