#include "platform/linux/linuxfilereading.h"

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/linux/filedescriptor.h"
#include "platform/linux/filestamp.h"
#include "platform/linux/mounttable.h"
#include "platform/linux/storageclassification.h"

namespace mellowby::platform {

namespace {

std::unexpected<Error> lastError()
{
    return std::unexpected(errorFromErrno(errno));
}

class LinuxSequentialFile final : public ISequentialFile {
public:
    LinuxSequentialFile(FileDescriptor file, FileStamp stamp)
        : m_file(std::move(file))
        , m_stamp(stamp)
    {
    }
    const FileStamp& stamp() const override { return m_stamp; }

    std::expected<std::size_t, Error> read(std::span<char> into) override
    {
        // A file that takes more than one read is read further ahead by the kernel; for one read
        // the hint is a call lost.
        if (!m_advised && into.size() < m_stamp.size)
            (void)::posix_fadvise(m_file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        m_advised = true;
        std::size_t total = 0;
        while (total < into.size()) {
            const ssize_t got = ::read(m_file.get(), into.data() + total, into.size() - total);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                // What was read before a bad place is given first, so that the failure is told
                // at its own offset.
                if (total > 0)
                    break;
                return lastError();
            }
            if (got == 0)
                break;
            total += static_cast<std::size_t>(got);
        }
        return total;
    }

    std::expected<FileStamp, Error> currentStamp() const override
    {
        struct stat status { };
        if (::fstat(m_file.get(), &status) != 0)
            return lastError();
        return stampFrom(status);
    }

    std::expected<std::optional<std::uint64_t>, Error> placement() const override
    {
        // One extent is all that is asked for, which the kernel writes right after the request:
        // the first says where the file begins.
        std::array<std::uint64_t, (sizeof(struct fiemap) + sizeof(struct fiemap_extent)) / sizeof(std::uint64_t)>
            storage {};
        auto* request = reinterpret_cast<struct fiemap*>(storage.data());
        request->fm_start = 0;
        request->fm_length = FIEMAP_MAX_OFFSET;
        request->fm_extent_count = 1;
        if (::ioctl(m_file.get(), FS_IOC_FIEMAP, request) != 0) {
            // ISO 9660 and UDF, among others, keep it to themselves.
            if (errno == ENOTTY || errno == EOPNOTSUPP)
                return std::unexpected(errorFromErrno(EOPNOTSUPP));
            return lastError();
        }
        // Data still in memory only have no place yet.
        const struct fiemap_extent& first = request->fm_extents[0];
        if (request->fm_mapped_extents == 0 || (first.fe_flags & FIEMAP_EXTENT_UNKNOWN) != 0)
            return std::optional<std::uint64_t>();
        return std::optional<std::uint64_t>(first.fe_physical);
    }

private:
    FileDescriptor m_file;
    FileStamp m_stamp;
    bool m_advised = false;
};

// O_NONBLOCK keeps a FIFO planted under the name from blocking the open.
std::expected<FileDescriptor, Error> openForReading(const std::string& path)
{
    bool leaveAccessTime = true;
    return openLeavingAccessTime(AT_FDCWD, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK, leaveAccessTime);
}

} // namespace

std::expected<std::unique_ptr<ISequentialFile>, Error> LinuxFileReading::openSequential(const std::string& path)
{
    auto file = openForReading(path);
    if (!file)
        return std::unexpected(file.error());
    const auto stamp = stampOfRegularFile(file->get());
    if (!stamp)
        return std::unexpected(stamp.error());
    return std::make_unique<LinuxSequentialFile>(std::move(*file), *stamp);
}

StorageKind LinuxFileReading::storageKindOf(const std::string& path)
{
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0)
        return StorageKind::Unknown;
    const std::string majorMinor = std::to_string(major(status.st_dev)) + ":" + std::to_string(minor(status.st_dev));
    return classifyStorage(majorMinor, readMountTable(m_mountInfoPath).value_or(""), m_sysfsRoot);
}

} // namespace mellowby::platform
