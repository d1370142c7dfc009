#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/linux/filedescriptor.h"

namespace mellowby::platform {

// The calls by which a replacement reaches the disk. A durable one makes them in this order, so
// that a crash leaves the old file or the whole new one: every write of the temporary file, its
// fsync and close, the rename that puts it in place, the fsync of the folder that holds the new
// entry. Behind this seam so that a test can see that order.
class IReplacementCalls {
public:
    virtual ~IReplacementCalls() = default;
    virtual std::expected<void, Error> write(const FileDescriptor& file, std::string_view bytes) = 0;
    virtual std::expected<void, Error> writeAt(const FileDescriptor& file, std::uint64_t offset, std::string_view bytes)
        = 0;
    virtual std::expected<void, Error> sync(const FileDescriptor& file) = 0;
    // Releases the descriptor even when it fails.
    virtual std::expected<void, Error> close(FileDescriptor& file) = 0;
    virtual std::expected<void, Error> rename(const std::string& from, const std::string& to) = 0;
    // Quietly does nothing when the folder cannot be opened: the renamed data are on disk already.
    virtual void syncFolder(const std::string& folder) = 0;
};

// The system's own calls.
IReplacementCalls& systemReplacementCalls();

} // namespace mellowby::platform
