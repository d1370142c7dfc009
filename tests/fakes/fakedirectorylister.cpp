#include "fakes/fakedirectorylister.h"

#include <cerrno>

namespace mellowby::fakes {

platform::DirEntry FakeDirectoryLister::file(std::string name, std::uint64_t size, std::int64_t creationTime)
{
    const bool hidden = name.starts_with('.');
    return { std::move(name), false, hidden, size, creationTime };
}

platform::DirEntry FakeDirectoryLister::directory(std::string name, std::int64_t creationTime)
{
    const bool hidden = name.starts_with('.');
    return { std::move(name), true, hidden, 0, creationTime };
}

void FakeDirectoryLister::addDirectory(const std::string& path, std::vector<platform::DirEntry> entries)
{
    std::vector<platform::DirEntry> all { directory(".", 0), directory("..", 0) };
    all.insert(all.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    m_directories[path] = std::move(all);
}

void FakeDirectoryLister::failListing(const std::string& path, platform::Error error, std::size_t after)
{
    m_failures[path] = { std::move(error), after };
}

std::expected<void, platform::Error> FakeDirectoryLister::list(
    const std::string& path, std::vector<platform::DirEntry>& out)
{
    listed.push_back(path);
    const auto directory = m_directories.find(path);
    const auto failure = m_failures.find(path);
    if (directory == m_directories.end() && failure == m_failures.end())
        return std::unexpected(platform::errorFromErrno(ENOENT));
    std::size_t count = directory == m_directories.end() ? 0 : directory->second.size();
    if (failure != m_failures.end())
        count = std::min(count, failure->second.after);
    if (directory != m_directories.end())
        out.insert(
            out.end(), directory->second.begin(), directory->second.begin() + static_cast<std::ptrdiff_t>(count));
    if (failure != m_failures.end())
        return std::unexpected(failure->second.error);
    return {};
}

} // namespace mellowby::fakes
