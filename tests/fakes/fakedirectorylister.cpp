#include "fakes/fakedirectorylister.h"

#include <algorithm>
#include <cerrno>

#include "platform/paths.h"

namespace mellowby::fakes {

class FakeDirectory final : public platform::IDirectory {
public:
    FakeDirectory(FakeDirectoryLister& tree, std::string path)
        : m_tree(tree)
        , m_path(std::move(path))
    {
    }

    platform::FileId id() const override { return {}; }

    std::expected<void, platform::Error> list(std::vector<platform::DirEntry>& out) override
    {
        m_tree.listed.push_back(m_path);
        const auto directory = m_tree.m_directories.find(m_path);
        const auto failure = m_tree.m_listFailures.find(m_path);
        std::size_t count = directory == m_tree.m_directories.end() ? 0 : directory->second.size();
        if (failure != m_tree.m_listFailures.end())
            count = std::min(count, failure->second.after);
        if (count > 0)
            out.insert(
                out.end(), directory->second.begin(), directory->second.begin() + static_cast<std::ptrdiff_t>(count));
        if (failure != m_tree.m_listFailures.end())
            return std::unexpected(failure->second.error);
        return {};
    }

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openChild(const std::string& name) override
    {
        return m_tree.open(platform::joinPath(m_path, name));
    }

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openParent() override
    {
        const auto slash = m_path.rfind(platform::kPathSeparator);
        return m_tree.open(slash == std::string::npos || slash == 0 ? "/" : m_path.substr(0, slash));
    }

private:
    FakeDirectoryLister& m_tree;
    std::string m_path;
};

platform::DirEntry FakeDirectoryLister::file(std::string name, std::uint64_t size, std::int64_t creationTime)
{
    return { std::move(name), false, size, creationTime, {}, {} };
}

platform::DirEntry FakeDirectoryLister::directory(std::string name, std::int64_t creationTime)
{
    return { std::move(name), true, 0, creationTime, {}, {} };
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

std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> FakeDirectoryLister::open(
    const std::string& path)
{
    if (const auto failure = m_openFailures.find(path); failure != m_openFailures.end())
        return std::unexpected(failure->second);
    if (!m_directories.contains(path) && !m_listFailures.contains(path))
        return std::unexpected(platform::errorFromErrno(ENOENT));
    return std::make_unique<FakeDirectory>(*this, path);
}

} // namespace mellowby::fakes
