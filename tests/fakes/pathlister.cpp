#include "fakes/pathlister.h"

#include "platform/paths.h"

namespace mellowby::fakes {

namespace {

class PathDirectory final : public platform::IDirectory {
public:
    PathDirectory(PathLister& lister, std::string path)
        : m_lister(lister)
        , m_path(std::move(path))
    {
    }

    platform::FileId id() const override { return {}; }
    std::expected<void, platform::Error> list(std::vector<platform::DirEntry>& out) override
    {
        return m_lister.listPath(m_path, out);
    }
    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openChild(const std::string& name) override
    {
        return m_lister.open(platform::joinPath(m_path, name));
    }
    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openParent() override
    {
        const auto slash = m_path.rfind(platform::kPathSeparator);
        return m_lister.open(slash == std::string::npos || slash == 0 ? "/" : m_path.substr(0, slash));
    }

private:
    PathLister& m_lister;
    std::string m_path;
};

} // namespace

std::expected<void, platform::Error> PathLister::openPath(const std::string&)
{
    return {};
}

std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> PathLister::open(const std::string& path)
{
    if (auto opened = openPath(path); !opened)
        return std::unexpected(opened.error());
    return std::make_unique<PathDirectory>(*this, path);
}

} // namespace mellowby::fakes
