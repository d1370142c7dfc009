#include "platform/linux/linuxfilesystem.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/filedescriptor.h"
#include "platform/linux/trash.h"

namespace mellowby::platform {

namespace {

class LinuxOutputFile final : public IOutputFile {
public:
    explicit LinuxOutputFile(FileDescriptor file)
        : m_file(std::move(file))
    {
    }

    std::expected<void, Error> write(std::string_view bytes) override { return m_file.writeAll(bytes); }
    std::expected<void, Error> finish() override { return m_file.syncAndClose(); }

private:
    FileDescriptor m_file;
};

std::expected<void, Error> checked(int result)
{
    if (result != 0)
        return std::unexpected(errorFromErrno(errno));
    return {};
}

} // namespace

std::expected<void, Error> LinuxFileSystem::createDirectory(const std::string& path)
{
    return checked(::mkdir(path.c_str(), 0777));
}

std::expected<std::unique_ptr<IOutputFile>, Error> LinuxFileSystem::createNewFile(const std::string& path)
{
    auto file = FileDescriptor::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (!file)
        return std::unexpected(file.error());
    return std::make_unique<LinuxOutputFile>(std::move(*file));
}

std::expected<void, Error> LinuxFileSystem::renameFile(const std::string& from, const std::string& to)
{
    return checked(::rename(from.c_str(), to.c_str()));
}

std::expected<void, Error> LinuxFileSystem::removeFile(const std::string& path)
{
    return checked(::unlink(path.c_str()));
}

std::expected<void, Error> LinuxFileSystem::moveToTrash(const std::string& path)
{
    return moveToHomeTrash(path);
}

bool LinuxFileSystem::isVisibleFile(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (path.empty() || path[slash == std::string::npos ? 0 : slash + 1] == '.')
        return false;
    struct stat status { };
    return ::lstat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool LinuxFileSystem::isFile(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

} // namespace mellowby::platform
