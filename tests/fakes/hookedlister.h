#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/linuxdirectorylister.h"

namespace mellowby::fakes {

// The real lister, with hooks that change the tree around a listing and listings made to fail.
class HookedLister final : public platform::IDirectoryLister {
public:
    struct Hooks {
        std::function<void()> before; // just before the directory is read
        std::function<void()> after; // once it was read, before the walk goes on
        std::optional<platform::Error> openFailure; // the directory cannot be opened
        std::optional<platform::Error> listFailure; // its listing breaks off after failAfter entries
        std::size_t failAfter = 0;
    };

    void hook(const std::string& path, Hooks hooks) { m_hooks[path] = std::move(hooks); }

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> open(const std::string& path) override
    {
        return hooked(path, m_real.open(path));
    }

private:
    friend class HookedDirectory;

    std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> hooked(
        const std::string& path, std::expected<std::unique_ptr<platform::IDirectory>, platform::Error> real);

    platform::LinuxDirectoryLister m_real;
    std::map<std::string, Hooks> m_hooks;
};

} // namespace mellowby::fakes
