#include "platform/linux/filedescriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mellowby::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::expected<FileDescriptor, Error> FileDescriptor::open(const std::string& path, int flags, mode_t mode)
{
    return openAt(AT_FDCWD, path, flags, mode);
}

std::expected<FileDescriptor, Error> FileDescriptor::openAt(
    int directory, const std::string& name, int flags, mode_t mode)
{
    for (;;) {
        const int fd = ::openat(directory, name.c_str(), flags, mode);
        if (fd >= 0)
            return FileDescriptor(fd);
        if (errno != EINTR)
            return std::unexpected(errorFromErrno(errno));
    }
}

std::expected<void, Error> FileDescriptor::writeAll(std::string_view bytes) const
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(errorFromErrno(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

std::expected<void, Error> FileDescriptor::close()
{
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        return std::unexpected(errorFromErrno(errno));
    return {};
}

std::expected<void, Error> FileDescriptor::writeAllAt(std::uint64_t offset, std::string_view bytes) const
{
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(errorFromErrno(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return {};
}

std::expected<std::size_t, Error> FileDescriptor::readAllAt(std::uint64_t offset, std::span<char> into) const
{
    std::size_t total = 0;
    while (total < into.size()) {
        const ssize_t got = ::pread(m_fd, into.data() + total, into.size() - total, static_cast<off_t>(offset + total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(errorFromErrno(errno));
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    return total;
}

std::expected<void, Error> FileDescriptor::syncAndClose()
{
    const int fd = std::exchange(m_fd, -1);
    const int syncError = ::fsync(fd) == 0 ? 0 : errno;
    // Linux releases the descriptor even when close fails, so it is never retried.
    const int closeError = ::close(fd) == 0 ? 0 : errno;
    if (syncError != 0)
        return std::unexpected(errorFromErrno(syncError));
    if (closeError != 0)
        return std::unexpected(errorFromErrno(closeError));
    return {};
}

std::expected<FileDescriptor, Error> openLeavingAccessTime(
    int directory, const std::string& name, int flags, bool& leaveAccessTime)
{
    if (leaveAccessTime) {
        auto file = FileDescriptor::openAt(directory, name, flags | O_NOATIME);
        if (file || file.error().number != EPERM)
            return file;
        leaveAccessTime = false;
    }
    return FileDescriptor::openAt(directory, name, flags);
}

std::expected<std::optional<std::string>, Error> readWholeRegularFile(const std::string& path, std::size_t maxSize)
{
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open.
    auto file = FileDescriptor::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (!file) {
        if (file.error().number == ENOENT)
            return std::optional<std::string>();
        return std::unexpected(file.error());
    }
    struct stat status { };
    if (::fstat(file->get(), &status) != 0)
        return std::unexpected(errorFromErrno(errno));
    if (S_ISDIR(status.st_mode))
        return std::unexpected(errorFromErrno(EISDIR));
    if (!S_ISREG(status.st_mode))
        return std::unexpected(errorFromErrno(EINVAL));
    if (static_cast<std::uint64_t>(status.st_size) > maxSize)
        return std::unexpected(errorFromErrno(EFBIG));

    // One byte more than the file holds, so that the read that reports its end needs no growth.
    std::string contents(static_cast<std::size_t>(status.st_size) + 1, '\0');
    std::size_t size = 0;
    for (;;) {
        if (size == contents.size())
            contents.resize(std::max<std::size_t>(contents.size() * 2, 4096));
        const ssize_t got = ::read(file->get(), contents.data() + size, contents.size() - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::unexpected(errorFromErrno(errno));
        if (got == 0)
            break;
        size += static_cast<std::size_t>(got);
        // The file may grow while it is read.
        if (size > maxSize)
            return std::unexpected(errorFromErrno(EFBIG));
    }
    contents.resize(size);
    return std::optional<std::string>(std::move(contents));
}

} // namespace mellowby::platform
