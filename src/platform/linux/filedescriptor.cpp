#include "platform/linux/filedescriptor.h"

#include <cerrno>

#include <fcntl.h>
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
    const int fd = ::open(path.c_str(), flags, mode);
    if (fd < 0)
        return std::unexpected(errorFromErrno(errno));
    return FileDescriptor(fd);
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

} // namespace mellowby::platform
