#include "fakes/hookedlister.h"

#include <algorithm>
#include <vector>

#include "platform/paths.h"

namespace mellowby::fakes {

class HookedDirectory final : public platform::IDirectory {
public:
    HookedDirectory(HookedLister& owner, std::string path, std::unique_ptr<platform::IDirectory> real)
        : m_owner(owner)
        , m_path(std::move(path))
        , m_real(std::move(real))
    {
    }
    platform::FileId id() const override { return m_real->id(); }
    std::expected<void, platform::Error> list(std::vector<platform::DirEntry>& out) override
    {
        const auto found = m_owner.m_hooks.find(m_path);
        if (found == m_owner.m_hooks.end())
            return m_real->list(out);
        HookedLister::Hooks& hooks = found->second;
        if (hooks.before)
            hooks.before();
        std::expected<void, platform::Error> result;
        if (hooks.listFailure) {
            std::vector<platform::DirEntry> all;
            (void)m_real->list(all);
            const std::size_t kept = std::min(all.size(), hooks.failAfter);
            out.insert(out.end(), all.begin(), all.begin() + static_cast<std::ptrdiff_t>(kept));
            result = std::unexpected(*hooks.listFailure);
        } else {
            result = m_real->list(out);
        }
        if (hooks.after)
            hooks.after();
        return result;
    }
    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openChild(const std::string& name) override
    {
        return m_owner.hooked(m_path + "/" + name, m_real->openChild(name));
    }
    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> openParent() override
    {
        return m_owner.hooked(std::string(platform::parentOf(m_path)), m_real->openParent());
    }

private:
    HookedLister& m_owner;
    std::string m_path;
    std::unique_ptr<platform::IDirectory> m_real;
};

std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> HookedLister::hooked(
    const std::string& path, std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> real)
{
    if (const auto found = m_hooks.find(path); found != m_hooks.end() && found->second.openFailure)
        return std::unexpected(*found->second.openFailure);
    if (!real)
        return std::unexpected(real.error());
    return std::make_unique<HookedDirectory>(*this, path, std::move(*real));
}

} // namespace mellowby::fakes
