#include "app/textfile.h"

#include <cerrno>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace mellowby::app {

namespace {

namespace fs = std::filesystem;

std::unexpected<platform::Error> lastError()
{
    return std::unexpected(platform::errorFromErrno(errno));
}

class UniqueFd {
public:
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    ~UniqueFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now so that a failing close (a delayed write error) can be reported.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Removes the temporary file unless the rename put it in place.
class TemporaryFileGuard {
public:
    explicit TemporaryFileGuard(std::string path)
        : m_path(std::move(path))
    {
    }
    ~TemporaryFileGuard()
    {
        if (!m_committed)
            ::unlink(m_path.c_str());
    }
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

    void commit() { m_committed = true; }

private:
    std::string m_path;
    bool m_committed = false;
};

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The file that a write to path really replaces: the target of a symbolic link, so that
// the link survives.
std::string replacedFile(const std::string& path)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)))
        return path;
    const fs::path target = fs::canonical(path, ec);
    return ec ? path : target.native();
}

void syncFolder(const std::string& folder)
{
    // Makes the rename itself durable; the data are already safe when this fails.
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

} // namespace

std::expected<std::optional<std::string>, platform::Error> readWholeFile(const std::string& path)
{
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return std::optional<std::string>();
        return lastError();
    }
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        return lastError();
    if (S_ISDIR(st.st_mode))
        return std::unexpected(platform::errorFromErrno(EISDIR));
    if (!S_ISREG(st.st_mode))
        return std::unexpected(platform::errorFromErrno(EINVAL));
    if (static_cast<std::size_t>(st.st_size) > kMaxTextFileSize)
        return std::unexpected(platform::errorFromErrno(EFBIG));

    std::string contents;
    contents.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        if (got == 0)
            break;
        // The file may grow while it is read.
        if (contents.size() + static_cast<std::size_t>(got) > kMaxTextFileSize)
            return std::unexpected(platform::errorFromErrno(EFBIG));
        contents.append(buffer, static_cast<std::size_t>(got));
    }
    return std::optional<std::string>(std::move(contents));
}

std::expected<void, platform::Error> replaceWholeFile(const std::string& path, std::string_view contents)
{
    const std::string target = replacedFile(path);
    const fs::path targetPath(target);
    const std::string folder = targetPath.has_parent_path() ? targetPath.parent_path().native() : std::string(".");

    struct stat old { };
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // Renaming over a file needs only the folder's permission; a file its owner made read-only
    // is still not to be replaced.
    if (existed && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return lastError();

    // A hidden name beside the file: the rename must not cross file systems.
    std::string temporary;
    int rawFd = -1;
    for (int attempt = 0; rawFd < 0; ++attempt) {
        temporary = (fs::path(folder)
            / ("." + targetPath.filename().native() + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt)
                + ".tmp"))
                        .native();
        rawFd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (rawFd < 0 && (errno != EEXIST || attempt >= 100))
            return lastError();
    }
    UniqueFd fd(rawFd);
    TemporaryFileGuard guard(temporary);

    if (existed && ::fchmod(fd.get(), old.st_mode & 07777) != 0)
        return lastError();
    if (!writeAll(fd.get(), contents) || ::fsync(fd.get()) != 0 || !fd.close())
        return lastError();
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return lastError();
    guard.commit();
    syncFolder(folder);
    return {};
}

} // namespace mellowby::app
