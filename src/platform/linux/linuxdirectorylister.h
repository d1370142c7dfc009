#pragma once

#include <memory>

#include "platform/directorylister.h"

namespace mellowby::platform {

// Lists with getdents64 and examines each entry with statx relative to the directory, so a
// walk of a large tree costs two system calls per entry and no path building.
class LinuxDirectoryLister final : public IDirectoryLister {
public:
    LinuxDirectoryLister();

    std::expected<void, Error> list(const std::string& path, std::vector<DirEntry>& out) override;

private:
    // Reused by every call so that a whole walk allocates it once.
    std::unique_ptr<char[]> m_buffer;
};

} // namespace mellowby::platform
