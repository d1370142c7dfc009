#include "platform/linux/linuxdirectorylister.h"

#include <cerrno>
#include <cstddef>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/linux/filedescriptor.h"

namespace mellowby::platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::optional<std::int64_t> creationTime(const struct statx& status)
{
    // Some file systems and disc images store a birth time of 0; that is no birth time at all.
    if ((status.stx_mask & STATX_BTIME) != 0 && status.stx_btime.tv_sec != 0)
        return status.stx_btime.tv_sec;
    if ((status.stx_mask & STATX_MTIME) != 0)
        return status.stx_mtime.tv_sec;
    return std::nullopt;
}

} // namespace

LinuxDirectoryLister::LinuxDirectoryLister()
    : m_buffer(std::make_unique_for_overwrite<char[]>(kBufferSize))
{
}

std::expected<void, Error> LinuxDirectoryLister::list(const std::string& path, std::vector<DirEntry>& out)
{
    auto directory = FileDescriptor::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!directory)
        return std::unexpected(directory.error());

    for (;;) {
        const ssize_t filled = ::getdents64(directory->get(), m_buffer.get(), kBufferSize);
        if (filled < 0)
            return std::unexpected(errorFromErrno(errno));
        if (filled == 0)
            return {};

        for (ssize_t offset = 0; offset < filled;) {
            const auto* record = reinterpret_cast<const struct dirent64*>(m_buffer.get() + offset);
            offset += record->d_reclen;
            const std::string_view name(record->d_name);
            const bool dots = name == "." || name == "..";

            struct statx status;
            const bool examined = !dots
                && ::statx(directory->get(), record->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                       STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_MTIME, &status)
                    == 0;
            if (!dots && !examined && errno == ENOENT)
                continue;

            DirEntry& entry = out.emplace_back();
            entry.name.assign(name);
            entry.isHidden = name.front() == '.';
            if (examined) {
                entry.isDirectory = S_ISDIR(status.stx_mode);
                entry.size = status.stx_size;
                entry.creationTime = creationTime(status);
            } else {
                entry.isDirectory = dots || record->d_type == DT_DIR;
            }
        }
    }
}

} // namespace mellowby::platform
