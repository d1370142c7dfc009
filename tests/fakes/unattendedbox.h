#pragma once

#include <optional>
#include <string>

#include "platform/messagebox.h"

namespace mellowby::fakes {

// The boxes of a run that nobody watches, such as a benchmark's: a question (whether to replace
// a catalog of the same name) is answered Yes, a prompt is cancelled, and any other box is
// answered Ok and said on standard error, since such a run should show none.
class UnattendedBox final : public platform::IMessageBox {
public:
    platform::MessageAnswer show(const platform::MessageRequest& request) override;
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override;
};

} // namespace mellowby::fakes
