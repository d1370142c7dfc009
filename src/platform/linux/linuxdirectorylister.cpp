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

            if (name == "." || name == "..") {
                out.push_back({ .name = std::string(name), .isDirectory = true, .isHidden = true });
                continue;
            }

            struct statx status;
            if (::statx(directory->get(), record->d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                        STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_MTIME, &status)
                != 0) {
                if (errno == ENOENT)
                    continue;
                out.push_back({ .name = std::string(name),
                                .isDirectory = record->d_type == DT_DIR,
                                .isHidden = name.front() == '.' });
                continue;
            }
            out.push_back({ .name = std::string(name),
                            .isDirectory = S_ISDIR(status.stx_mode),
                            .isHidden = name.front() == '.',
                            .size = status.stx_size,
                            .creationTime = creationTime(status) });
        }
    }
}

} // namespace mellowby::platform
