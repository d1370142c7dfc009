#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktopopener.h"

namespace mellowby::fakes {

// Records what would have been opened; fails when told to.
class FakeDesktopOpener final : public platform::IDesktopOpener {
public:
    struct Opened {
        std::string target;
        std::string workingDirectory;
        bool operator==(const Opened&) const = default;
    };

    std::expected<void, platform::Error> open(const std::string& target, const std::string& workingDirectory) override
    {
        opened.push_back({ target, workingDirectory });
        if (failure)
            return std::unexpected(*failure);
        return {};
    }

    std::vector<Opened> opened;
    std::optional<platform::Error> failure;
};

} // namespace mellowby::fakes
