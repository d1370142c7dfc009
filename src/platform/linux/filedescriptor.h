#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
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
    // name opened relative to the open folder directory (AT_FDCWD: the current folder).
    static std::expected<FileDescriptor, Error> openAt(
        int directory, const std::string& name, int flags, mode_t mode = 0);

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // Resumes after partial writes and interrupted calls until every byte is written.
    std::expected<void, Error> writeAll(std::string_view bytes) const;
    // The same at offset, without moving the file position.
    std::expected<void, Error> writeAllAt(std::uint64_t offset, std::string_view bytes) const;
    // Reads into.size() bytes at offset, resuming after short reads and interrupted calls; fewer
    // only where the file ends. The number read.
    std::expected<std::size_t, Error> readAllAt(std::uint64_t offset, std::span<char> into) const;
    // The descriptor is released even when flushing or closing fails.
    std::expected<void, Error> syncAndClose();
    // Closes without flushing; a delayed write error is still reported.
    std::expected<void, Error> close();

private:
    int m_fd = -1;
};

// name, relative to the open folder directory (AT_FDCWD: the current folder), opened for reading
// with flags, and without the access time that reading it would write into it, on the scanned disc
// itself, where the kernel allows that: to the file's owner only. A file of another owner is
// opened as any other, and leaveAccessTime is set false, so that a caller going through many files
// of one owner stops asking after the first refusal.
std::expected<FileDescriptor, Error> openLeavingAccessTime(
    int directory, const std::string& name, int flags, bool& leaveAccessTime);

// The whole contents of the regular file at path, read until its end (files of /proc report a
// size of 0); nothing when there is no entry at path. Anything but a regular file, and a file of
// more than maxSize bytes, is an error: a FIFO or a device could block or never end.
std::expected<std::optional<std::string>, Error> readWholeRegularFile(const std::string& path, std::size_t maxSize);

} // namespace mellowby::platform
