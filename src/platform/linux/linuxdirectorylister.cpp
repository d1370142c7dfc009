#include "platform/linux/linuxdirectorylister.h"

#include <cerrno>
#include <cstddef>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/linux/directoryreading.h"
#include "platform/linux/filedescriptor.h"
#include "platform/linux/filestamp.h"

namespace mellowby::platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// A folder is read and its children opened through its descriptor, never through its path.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

std::int64_t nanosecondsOf(const struct statx_timestamp& time)
{
    return time.tv_sec * kNanosecondsPerSecond + time.tv_nsec;
}

EntryKind kindOf(std::uint16_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Directory;
    return S_ISLNK(mode) ? EntryKind::SymbolicLink : EntryKind::Other;
}

void takeDetails(DirEntry& entry, const struct statx& status)
{
    entry.isDirectory = S_ISDIR(status.stx_mode);
    entry.kind = kindOf(status.stx_mode);
    entry.size = status.stx_size;
    if ((status.stx_mask & STATX_MTIME) != 0)
        entry.modifiedNs = nanosecondsOf(status.stx_mtime);
    // Some file systems and disc images store a birth time of 0; that is no birth time at all.
    if ((status.stx_mask & STATX_BTIME) != 0 && status.stx_btime.tv_sec != 0)
        entry.bornNs = nanosecondsOf(status.stx_btime);
    entry.id = { ::makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino };
}

class LinuxDirectory final : public IDirectory {
public:
    LinuxDirectory(FileDescriptor folder, FileId id, char* buffer)
        : m_folder(std::move(folder))
        , m_id(id)
        , m_buffer(buffer)
    {
    }

    static std::expected<std::unique_ptr<IDirectory>, Error> openAt(
        int directory, const std::string& name, int flags, char* buffer)
    {
        auto folder = FileDescriptor::openAt(directory, name, flags);
        if (!folder)
            return std::unexpected(folder.error());
        struct stat status { };
        if (::fstat(folder->get(), &status) != 0)
            return std::unexpected(errorFromErrno(errno));
        return std::make_unique<LinuxDirectory>(std::move(*folder), idFrom(status), buffer);
    }

    FileId id() const override { return m_id; }

    std::expected<void, Error> list(std::vector<DirEntry>& out) override
    {
        const int fd = m_folder.get();
        return readDirectoryEntries(fd, m_buffer, kBufferSize, [&](std::string_view name, unsigned char type) {
            DirEntry& entry = out.emplace_back();
            entry.name.assign(name);
            struct statx status;
            if (::statx(fd, entry.name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_MTIME | STATX_INO, &status)
                == 0) {
                takeDetails(entry, status);
            } else if (errno == ENOENT) {
                out.pop_back(); // gone since it was listed
            } else {
                // A folder that may be read but not searched: the names are there, the rest is not.
                entry.isDirectory = type == DT_DIR;
                entry.detailsError = errorFromErrno(errno);
            }
        });
    }

    std::expected<std::unique_ptr<IDirectory>, Error> openChild(const std::string& name) override
    {
        // O_NOFOLLOW: a child that became a symbolic link since it was listed is not entered.
        return openAt(m_folder.get(), name, kFolderFlags | O_NOFOLLOW, m_buffer);
    }

    std::expected<std::unique_ptr<IDirectory>, Error> openParent() override
    {
        return openAt(m_folder.get(), "..", kFolderFlags, m_buffer);
    }

private:
    FileDescriptor m_folder;
    FileId m_id;
    char* m_buffer;
};

} // namespace

LinuxDirectoryLister::LinuxDirectoryLister()
    : m_buffer(std::make_unique_for_overwrite<char[]>(kBufferSize))
{
}

std::expected<std::unique_ptr<IDirectory>, Error> LinuxDirectoryLister::open(const std::string& path)
{
    return LinuxDirectory::openAt(AT_FDCWD, path, kFolderFlags, m_buffer.get());
}

} // namespace mellowby::platform
