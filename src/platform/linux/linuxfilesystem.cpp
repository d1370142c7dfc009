#include "platform/linux/linuxfilesystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/directoryreading.h"
#include "platform/linux/filedescriptor.h"
#include "platform/linux/filestamp.h"
#include "platform/linux/replacementcalls.h"
#include "platform/linux/trash.h"
#include "platform/paths.h"
#include "platform/temporarynames.h"

namespace mellowby::platform {

namespace {

constexpr int kMaxNameAttempts = 100;

std::unexpected<Error> lastError()
{
    return std::unexpected(errorFromErrno(errno));
}

std::expected<void, Error> checked(int result)
{
    if (result != 0)
        return lastError();
    return {};
}

// The file that replacing path really replaces: the target of a symbolic link, so that the link
// survives. A dangling link is replaced itself.
std::string replacedFile(const std::string& path)
{
    struct stat status { };
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr), &std::free);
    return target ? std::string(target.get()) : path;
}

class LinuxReplacement final : public IReplacement {
public:
    LinuxReplacement(IReplacementCalls& calls, FileDescriptor file, std::string temporary, std::string target,
        std::string folder, bool durable)
        : m_calls(calls)
        , m_file(std::move(file))
        , m_temporary(std::move(temporary))
        , m_target(std::move(target))
        , m_folder(std::move(folder))
        , m_durable(durable)
    {
    }
    ~LinuxReplacement() override
    {
        if (!m_committed)
            ::unlink(m_temporary.c_str());
    }
    LinuxReplacement(const LinuxReplacement&) = delete;
    LinuxReplacement& operator=(const LinuxReplacement&) = delete;

    std::expected<void, Error> write(std::string_view bytes) override
    {
        auto written = m_calls.write(m_file, bytes);
        if (written && m_durable)
            startWritingBack(bytes.size());
        return written;
    }
    std::expected<void, Error> writeAt(std::uint64_t offset, std::string_view bytes) override
    {
        return m_calls.writeAt(m_file, offset, bytes);
    }
    std::expected<std::size_t, Error> readAt(std::uint64_t offset, std::span<char> into) override
    {
        return m_file.readAllAt(offset, into);
    }

    std::expected<void, Error> finish() override
    {
        if (m_finished)
            return {};
        m_finished = true;
        // The descriptor goes even when the sync fails, which is the failure told.
        const auto synced = m_durable ? m_calls.sync(m_file) : std::expected<void, Error>();
        const auto closed = m_calls.close(m_file);
        return synced ? closed : synced;
    }

    std::expected<void, Error> commit() override
    {
        if (auto finished = finish(); !finished)
            return finished;
        if (auto renamed = m_calls.rename(m_temporary, m_target); !renamed)
            return renamed;
        m_committed = true;
        // Makes the rename durable; the renamed data are already on disk when this fails.
        if (m_durable)
            m_calls.syncFolder(m_folder);
        return {};
    }

private:
    // Has the disk start on what was written every few megabytes, while the rest is made, so that
    // the sync at the end waits for the tail only. A hint: whatever fails, the sync reports.
    void startWritingBack(std::size_t added)
    {
        constexpr std::uint64_t kWriteBackStep = 8 * 1024 * 1024;
        m_written += added;
        if (m_written - m_writingBack < kWriteBackStep)
            return;
        (void)::sync_file_range(m_file.get(), static_cast<off_t>(m_writingBack),
            static_cast<off_t>(m_written - m_writingBack), SYNC_FILE_RANGE_WRITE);
        m_writingBack = m_written;
    }

    IReplacementCalls& m_calls;
    FileDescriptor m_file;
    std::string m_temporary;
    std::string m_target;
    std::string m_folder;
    bool m_durable;
    bool m_finished = false;
    bool m_committed = false;
    std::uint64_t m_written = 0;
    std::uint64_t m_writingBack = 0;
};

class LinuxReadableFile final : public IReadableFile {
public:
    LinuxReadableFile(FileDescriptor file, FileStamp stamp)
        : m_file(std::move(file))
        , m_stamp(stamp)
    {
    }
    const FileStamp& stamp() const override { return m_stamp; }
    std::expected<std::size_t, Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        return m_file.readAllAt(offset, into);
    }

private:
    FileDescriptor m_file;
    FileStamp m_stamp;
};

// O_NONBLOCK keeps a FIFO planted under a name from blocking the open.
constexpr int kFileFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;

// A file opened for reading, once it has shown itself a regular file.
std::expected<std::unique_ptr<IReadableFile>, Error> readableFile(std::expected<FileDescriptor, Error> file)
{
    if (!file)
        return std::unexpected(file.error());
    const auto stamp = stampOfRegularFile(file->get());
    if (!stamp)
        return std::unexpected(stamp.error());
    return std::make_unique<LinuxReadableFile>(std::move(*file), *stamp);
}

class LinuxReadableFolder final : public IReadableFolder {
public:
    LinuxReadableFolder(FileDescriptor folder, FileId id)
        : m_folder(std::move(folder))
        , m_id(id)
    {
    }
    FileId id() const override { return m_id; }

    std::expected<std::size_t, Error> readStart(const std::string& name, std::span<char> into) override
    {
        const auto file = openLeavingAccessTime(m_folder.get(), name, kFileFlags, m_leaveAccessTime);
        if (!file)
            return std::unexpected(file.error());
        // Only the bytes asked for: the kernel would otherwise read ahead several pages of every
        // file looked at, into memory no one uses.
        (void)::posix_fadvise(file->get(), 0, 0, POSIX_FADV_RANDOM);
        return file->readAllAt(0, into);
    }

    std::expected<std::unique_ptr<IReadableFile>, Error> openFile(const std::string& name) override
    {
        return readableFile(openLeavingAccessTime(m_folder.get(), name, kFileFlags, m_leaveAccessTime));
    }

private:
    FileDescriptor m_folder;
    FileId m_id;
    bool m_leaveAccessTime = true; // until a file of another owner refuses it
};

// flock() locks belong to the open file description: two opens of the folder, in one process or
// two, exclude each other, and closing the descriptor lets go.
class LinuxFolderLock final : public IFolderLock {
public:
    explicit LinuxFolderLock(FileDescriptor folder)
        : m_folder(std::move(folder))
    {
    }

private:
    FileDescriptor m_folder;
};

class LinuxScratchFile final : public IScratchFile {
public:
    explicit LinuxScratchFile(FileDescriptor file)
        : m_file(std::move(file))
    {
    }
    std::expected<void, Error> write(std::string_view bytes) override { return m_file.writeAll(bytes); }
    std::expected<std::size_t, Error> readAt(std::uint64_t offset, std::span<char> into) const override
    {
        return m_file.readAllAt(offset, into);
    }

private:
    FileDescriptor m_file;
};

} // namespace

std::expected<std::optional<std::string>, Error> LinuxFileSystem::readWholeFile(
    const std::string& path, std::size_t maxSize)
{
    return readWholeRegularFile(path, maxSize);
}

std::expected<std::unique_ptr<IReplacement>, Error> LinuxFileSystem::beginReplacement(const std::string& path)
{
    return startReplacement(path, true);
}

std::expected<std::unique_ptr<IReplacement>, Error> LinuxFileSystem::beginCacheReplacement(const std::string& path)
{
    return startReplacement(path, false);
}

LinuxFileSystem::LinuxFileSystem(IReplacementCalls& calls)
    : m_calls(calls)
{
}

std::expected<std::unique_ptr<IReplacement>, Error> LinuxFileSystem::startReplacement(
    const std::string& path, bool durable)
{
    const std::string target = replacedFile(path);
    const std::string folder(parentOf(target));

    struct stat old { };
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // Renaming over a file needs only the folder's permission; a file its owner made read-only
    // is still not to be replaced.
    if (existed && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return lastError();

    // Beside the file: the rename must not cross file systems.
    for (int attempt = 0;; ++attempt) {
        const std::string temporary = temporaryPathBeside(target);
        auto file = FileDescriptor::open(temporary, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (!file) {
            if (file.error().number == EEXIST && attempt < kMaxNameAttempts)
                continue;
            return std::unexpected(file.error());
        }
        const int descriptor = file->get();
        // From here on the replacement removes the temporary file whatever happens.
        auto replacement
            = std::make_unique<LinuxReplacement>(m_calls, std::move(*file), temporary, target, folder, durable);
        if (existed && ::fchmod(descriptor, old.st_mode & 07777) != 0)
            return lastError();
        return replacement;
    }
}

std::expected<std::unique_ptr<IScratchFile>, Error> LinuxFileSystem::createScratchFile(const std::string& folder)
{
    auto file = FileDescriptor::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (!file && (file.error().number == EOPNOTSUPP || file.error().number == EISDIR)) {
        // A file system without unnamed files: a named one, its name removed at once.
        std::string name = joinPath(folder, "mellowby-scratch-XXXXXX");
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return lastError();
        file = FileDescriptor(fd);
        (void)::unlink(name.c_str());
    }
    if (!file)
        return std::unexpected(file.error());
    return std::make_unique<LinuxScratchFile>(std::move(*file));
}

std::expected<std::unique_ptr<IReadableFile>, Error> LinuxFileSystem::openForReading(const std::string& path)
{
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open.
    return readableFile(FileDescriptor::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

std::expected<std::unique_ptr<IReadableFolder>, Error> LinuxFileSystem::openFolder(const std::string& path)
{
    auto folder = FileDescriptor::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!folder)
        return std::unexpected(folder.error());
    struct stat status { };
    if (::fstat(folder->get(), &status) != 0)
        return lastError();
    return std::make_unique<LinuxReadableFolder>(std::move(*folder), idFrom(status));
}

std::expected<FileStamp, Error> LinuxFileSystem::stampOf(const std::string& path)
{
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0)
        return lastError();
    return stampFrom(status);
}

std::expected<std::string, Error> LinuxFileSystem::canonicalPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return lastError();
    return std::string(resolved.get());
}

std::expected<std::vector<FolderEntry>, Error> LinuxFileSystem::listFolder(const std::string& path)
{
    auto folder = FileDescriptor::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!folder)
        return std::unexpected(folder.error());
    std::vector<FolderEntry> entries;
    const auto buffer = std::make_unique_for_overwrite<char[]>(32 * 1024);
    const auto read
        = readDirectoryEntries(folder->get(), buffer.get(), 32 * 1024, [&](std::string_view name, unsigned char type) {
              FolderEntry& entry = entries.emplace_back();
              entry.name.assign(name);
              if (type == DT_DIR) {
                  entry.isDirectory = true;
              } else if (type == DT_LNK || type == DT_UNKNOWN) {
                  struct stat status { };
                  entry.isDirectory
                      = ::fstatat(folder->get(), entry.name.c_str(), &status, 0) == 0 && S_ISDIR(status.st_mode);
              }
          });
    if (!read)
        return std::unexpected(read.error());
    return entries;
}

std::expected<void, Error> LinuxFileSystem::createDirectory(const std::string& path)
{
    return checked(::mkdir(path.c_str(), 0777));
}

std::expected<void, Error> LinuxFileSystem::renameFile(const std::string& from, const std::string& to)
{
    return checked(::rename(from.c_str(), to.c_str()));
}

std::expected<void, Error> LinuxFileSystem::removeFile(const std::string& path)
{
    return checked(::unlink(path.c_str()));
}

bool LinuxFileSystem::isFile(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool LinuxFileSystem::isDirectory(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::expected<void, Error> LinuxFileSystem::moveToTrash(const std::string& path)
{
    return moveToHomeTrash(path);
}

void LinuxFileSystem::removeAbandonedReplacements(const std::string& folder)
{
    const auto entries = listFolder(folder);
    if (!entries)
        return;
    for (const auto& entry : *entries) {
        const auto writer = writerOfTemporaryName(entry.name);
        if (writer && !entry.isDirectory && processIsGone(*writer))
            ::unlink(joinPath(folder, entry.name).c_str());
    }
}

std::unique_ptr<IFolderLock> LinuxFileSystem::lockFolder(const std::string& folder)
{
    auto opened = FileDescriptor::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!opened)
        return nullptr;
    int locked = 0;
    do
        locked = ::flock(opened->get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
        return nullptr;
    return std::make_unique<LinuxFolderLock>(std::move(*opened));
}

} // namespace mellowby::platform
