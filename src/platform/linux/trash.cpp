#include "platform/linux/trash.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/filesystem.h"
#include "platform/linux/filedescriptor.h"
#include "platform/paths.h"
#include "platform/userfolders.h"

namespace mellowby::platform {

namespace {

constexpr int kMaxNameAttempts = 10000;

// Removes a file it was given unless told that the step it guards succeeded.
class RemoveOnFailure {
public:
    explicit RemoveOnFailure(std::string path)
        : m_path(std::move(path))
    {
    }
    RemoveOnFailure(const RemoveOnFailure&) = delete;
    RemoveOnFailure& operator=(const RemoveOnFailure&) = delete;
    ~RemoveOnFailure()
    {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }

    void release() { m_path.clear(); }

private:
    std::string m_path;
};

std::unexpected<Error> lastError()
{
    return std::unexpected(errorFromErrno(errno));
}

// The trash and its folders are the user's alone.
std::expected<void, Error> makePrivateFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0)
        return lastError();
    return {};
}

std::expected<std::string, Error> homeTrash()
{
    const auto data = userDataFolder();
    if (!data)
        return std::unexpected(Error { 0, "There is no trash: neither XDG_DATA_HOME nor HOME is set" });
    return createMissingFolders(*data + "/Trash", makePrivateFolder);
}

std::string percentEncoded(std::string_view path)
{
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')
            || std::string_view("-_.~/").find(c) != std::string_view::npos) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0xF]);
        }
    }
    return encoded;
}

std::string localTimestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    const auto length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(text, length);
}

struct SplitPath {
    std::string absolute;
    std::string name;
};

// The parent is resolved but the last component is not: the trash takes a symbolic link
// itself, never its target.
std::expected<SplitPath, Error> splitAbsolute(std::string_view path)
{
    path = withoutTrailingSeparators(path);
    const std::string name(fileNameOf(path));
    if (name.empty() || name == "." || name == "..")
        return std::unexpected(errorFromErrno(EINVAL));
    const std::string parent(parentOf(path));
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(parent.c_str(), nullptr), &std::free);
    if (!resolved)
        return lastError();
    return SplitPath { joinPath(resolved.get(), name), name };
}

std::expected<void, Error> writeTrashInfo(FileDescriptor& info, const std::string& original)
{
    const std::string text
        = "[Trash Info]\nPath=" + percentEncoded(original) + "\nDeletionDate=" + localTimestamp() + "\n";
    if (auto written = info.writeAll(text); !written)
        return written;
    return info.syncAndClose();
}

// A trash on another file system cannot take the file by rename: the bytes are copied in
// and the original removed only once the copy is safely on disk.
std::expected<void, Error> copyThenRemove(const std::string& from, const struct stat& status, const std::string& to)
{
    if (!S_ISREG(status.st_mode))
        return std::unexpected(errorFromErrno(EXDEV));
    auto source = FileDescriptor::open(from, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (!source)
        return std::unexpected(source.error());
    auto target = FileDescriptor::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 07777);
    if (!target)
        return std::unexpected(target.error());
    RemoveOnFailure copyGuard(to);

    const auto buffer = std::make_unique_for_overwrite<char[]>(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(source->get(), buffer.get(), 64 * 1024);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return lastError();
        if (got == 0)
            break;
        if (auto written = target->writeAll({ buffer.get(), static_cast<std::size_t>(got) }); !written)
            return written;
    }
    // Keeping the times is a courtesy to whoever restores the file, not worth failing over.
    const struct timespec times[2] = { status.st_atim, status.st_mtim };
    ::futimens(target->get(), times);
    if (auto closed = target->syncAndClose(); !closed)
        return closed;
    if (::unlink(from.c_str()) != 0)
        return lastError();
    copyGuard.release();
    return {};
}

// EEXIST when the name is taken in files/, so the caller can try the next one.
std::expected<void, Error> moveInto(const std::string& from, const struct stat& status, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno == EINVAL) {
        // File systems without RENAME_NOREPLACE: check first, accepting the small race.
        struct stat existing;
        if (::lstat(to.c_str(), &existing) == 0)
            return std::unexpected(errorFromErrno(EEXIST));
        if (::rename(from.c_str(), to.c_str()) == 0)
            return {};
    }
    if (errno == EXDEV)
        return copyThenRemove(from, status, to);
    return lastError();
}

} // namespace

std::expected<void, Error> moveToHomeTrash(const std::string& path)
{
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0)
        return lastError();
    const auto original = splitAbsolute(path);
    if (!original)
        return std::unexpected(original.error());
    const auto trash = homeTrash();
    if (!trash)
        return std::unexpected(trash.error());
    for (const auto* folder : { "files", "info" }) {
        if (auto made = makePrivateFolder(joinPath(*trash, folder)); !made && made.error().number != EEXIST)
            return made;
    }

    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string name = attempt == 1 ? original->name : original->name + "." + std::to_string(attempt);
        // The info file is created first and exclusively: it is what reserves the name.
        const std::string infoPath = *trash + "/info/" + name + ".trashinfo";
        auto info = FileDescriptor::open(infoPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (!info && info.error().number == EEXIST)
            continue;
        if (!info)
            return std::unexpected(info.error());
        RemoveOnFailure infoGuard(infoPath);
        if (auto written = writeTrashInfo(*info, original->absolute); !written)
            return written;
        auto moved = moveInto(path, status, *trash + "/files/" + name);
        if (!moved && moved.error().number == EEXIST)
            continue;
        if (!moved)
            return moved;
        infoGuard.release();
        return {};
    }
    return std::unexpected(errorFromErrno(EEXIST));
}

} // namespace mellowby::platform
