#pragma once

#include <memory>

#include "platform/directorylister.h"

namespace mellowby::platform {

// Lists with getdents64 and examines each entry with statx relative to its folder's descriptor,
// so a walk of a large tree costs two system calls per entry and no path building. The folders
// it opens borrow its read buffer: it must outlive them.
class LinuxDirectoryLister final : public IDirectoryLister {
public:
    LinuxDirectoryLister();

    std::expected<std::unique_ptr<IDirectory>, Error> open(const std::string& path) override;

private:
    // Shared by every folder of a walk, which reads one folder at a time.
    std::unique_ptr<char[]> m_buffer;
};

} // namespace mellowby::platform
