#include "fakes/fakedirectorylister.h"

#include <algorithm>
#include <cerrno>

namespace mellowby::fakes {

namespace {

// An entry made then and not changed since.
platform::DirEntry entryMadeAt(std::string name, platform::EntryKind kind, std::uint64_t size, std::int64_t seconds)
{
    const std::int64_t time = seconds * platform::kNanosecondsPerSecond;
    return { std::move(name), kind == platform::EntryKind::Directory, size, time, time, {}, {}, kind };
}

} // namespace

platform::DirEntry FakeDirectoryLister::file(std::string name, std::uint64_t size, std::int64_t creationTime)
{
    return entryMadeAt(std::move(name), platform::EntryKind::File, size, creationTime);
}

platform::DirEntry FakeDirectoryLister::directory(std::string name, std::int64_t creationTime)
{
    return entryMadeAt(std::move(name), platform::EntryKind::Directory, 0, creationTime);
}

void FakeDirectoryLister::addDirectory(const std::string& path, std::vector<platform::DirEntry> entries)
{
    m_directories[path] = std::move(entries);
}

void FakeDirectoryLister::failOpening(const std::string& path, platform::Error error)
{
    m_openFailures[path] = std::move(error);
}

void FakeDirectoryLister::failListing(const std::string& path, platform::Error error, std::size_t after)
{
    m_listFailures[path] = { std::move(error), after };
}

std::expected<void, platform::Error> FakeDirectoryLister::openPath(const std::string& path)
{
    if (const auto failure = m_openFailures.find(path); failure != m_openFailures.end())
        return std::unexpected(failure->second);
    if (!m_directories.contains(path) && !m_listFailures.contains(path))
        return std::unexpected(platform::errorFromErrno(ENOENT));
    return {};
}

std::expected<void, platform::Error> FakeDirectoryLister::listPath(
    const std::string& path, std::vector<platform::DirEntry>& out)
{
    listed.push_back(path);
    const auto directory = m_directories.find(path);
    const auto failure = m_listFailures.find(path);
    std::size_t count = directory == m_directories.end() ? 0 : directory->second.size();
    if (failure != m_listFailures.end())
        count = std::min(count, failure->second.after);
    if (count > 0)
        out.insert(
            out.end(), directory->second.begin(), directory->second.begin() + static_cast<std::ptrdiff_t>(count));
    if (failure != m_listFailures.end())
        return std::unexpected(failure->second.error);
    return {};
}

} // namespace mellowby::fakes
