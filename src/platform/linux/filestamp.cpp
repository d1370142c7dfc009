#include "platform/linux/filestamp.h"

#include <cerrno>

namespace mellowby::platform {

FileStamp stampFrom(const struct stat& status)
{
    const auto nanoseconds = [](const struct timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return { static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
        static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim), nanoseconds(status.st_ctim) };
}

FileId idFrom(const struct stat& status)
{
    return { static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino) };
}

std::expected<FileStamp, Error> stampOfRegularFile(int descriptor)
{
    struct stat status { };
    if (::fstat(descriptor, &status) != 0)
        return std::unexpected(errorFromErrno(errno));
    if (!S_ISREG(status.st_mode))
        return std::unexpected(errorFromErrno(S_ISDIR(status.st_mode) ? EISDIR : EINVAL));
    return stampFrom(status);
}

} // namespace mellowby::platform
