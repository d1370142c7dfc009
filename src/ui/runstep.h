#pragma once

#include <utility>

namespace mellowby::ui {

// The window's handlers skip a step that fails and go on with the next one, without a message:
// the procedures they call report their own failures. Nothing may escape into Qt's event loop.
template <typename Step> void runStep(Step&& step) noexcept
{
    try {
        std::forward<Step>(step)();
    } catch (...) {
    }
}

} // namespace mellowby::ui
