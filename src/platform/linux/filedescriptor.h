#pragma once

#include <expected>
#include <string>
#include <string_view>
#include <utility>

#include <sys/types.h>

#include "platform/error.h"

namespace mellowby::platform {

// Owns one open file descriptor; it is closed when the owner goes away.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    static std::expected<FileDescriptor, Error> open(const std::string& path, int flags, mode_t mode = 0);

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // Resumes after partial writes and interrupted calls until every byte is written.
    std::expected<void, Error> writeAll(std::string_view bytes) const;
    // The descriptor is released even when flushing or closing fails.
    std::expected<void, Error> syncAndClose();

private:
    int m_fd = -1;
};

} // namespace mellowby::platform
