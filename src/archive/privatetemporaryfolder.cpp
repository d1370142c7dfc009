#include "archive/privatetemporaryfolder.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/temporarynames.h"

namespace mellowby::archive {

namespace {

// The name's own part: platform's temporary names are ".<this>.mellowby-<pid>-<n>.tmp".
constexpr std::string_view kPurpose = "opened-members";
constexpr int kMaxNameAttempts = 100;

bool isOurs(std::string_view name)
{
    return name.starts_with('.') && name.substr(1).starts_with(kPurpose)
        && name.substr(1 + kPurpose.size()).starts_with(".mellowby-");
}

void removeTree(const std::string& path)
{
    std::error_code ignored;
    // remove_all never follows a symbolic link inside: it removes the link.
    std::filesystem::remove_all(path, ignored);
}

} // namespace

std::string PrivateTemporaryFolder::defaultBase()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat status { };
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::getuid())
        return runtime;
    std::error_code error;
    const auto temporary = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : temporary.string();
}

void PrivateTemporaryFolder::removeLeftovers(const std::string& base)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const auto writer = platform::writerOfTemporaryName(name);
        if (!writer || !isOurs(name) || *writer == ::getpid())
            continue;
        struct stat status { };
        const std::string path = it->path().string();
        if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
            continue;
        if (platform::processIsGone(*writer))
            removeTree(path);
    }
}

std::expected<PrivateTemporaryFolder, platform::Error> PrivateTemporaryFolder::create(const std::string& base)
{
    static std::atomic<std::uint64_t> sequence = 0;
    const std::string folder = base.empty() ? defaultBase() : base;
    removeLeftovers(folder);
    for (int attempt = 0;; ++attempt) {
        const std::string path
            = platform::joinPath(folder, platform::temporaryNameFor(kPurpose, ::getpid(), ++sequence));
        // mkdir makes it new or fails: a name another user planted in a shared /tmp is passed by.
        if (::mkdir(path.c_str(), 0700) == 0) {
            PrivateTemporaryFolder made(path);
            // Exactly 0700, whatever the umask.
            if (::chmod(path.c_str(), 0700) != 0)
                return std::unexpected(platform::errorFromErrno(errno));
            return made;
        }
        if (errno != EEXIST || attempt >= kMaxNameAttempts)
            return std::unexpected(platform::errorFromErrno(errno));
    }
}

PrivateTemporaryFolder::PrivateTemporaryFolder(std::string path)
    : m_path(std::move(path))
{
}

PrivateTemporaryFolder::PrivateTemporaryFolder(PrivateTemporaryFolder&& other) noexcept
    : m_path(std::exchange(other.m_path, {}))
{
}

PrivateTemporaryFolder& PrivateTemporaryFolder::operator=(PrivateTemporaryFolder&& other) noexcept
{
    if (this != &other) {
        if (!m_path.empty())
            removeTree(m_path);
        m_path = std::exchange(other.m_path, {});
    }
    return *this;
}

PrivateTemporaryFolder::~PrivateTemporaryFolder()
{
    if (!m_path.empty())
        removeTree(m_path);
}

} // namespace mellowby::archive
