#pragma once

#include "platform/desktopopener.h"

namespace mellowby::ui {

// Hands a file or a web address to xdg-open, which starts the desktop's program for it; the
// program runs on its own and is never waited for.
class QtDesktopOpener final : public platform::IDesktopOpener {
public:
    std::expected<void, platform::Error> open(const std::string& target, const std::string& workingDirectory) override;
};

} // namespace mellowby::ui
