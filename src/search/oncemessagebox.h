#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/messagebox.h"

namespace mellowby::search {

// Shows each distinct box (same text and title) only once and answers its repetitions as the
// user answered the first. Lives for one listing or one search: a damaged catalog fails the same
// way for every row, and one box says it as well as a hundred thousand would.
class OnceMessageBox final : public platform::IMessageBox {
public:
    explicit OnceMessageBox(platform::IMessageBox& target)
        : m_target(target)
    {
    }

    platform::MessageAnswer show(const platform::MessageRequest& request) override;
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override;

private:
    platform::IMessageBox& m_target;
    std::map<std::pair<std::string, std::string>, platform::MessageAnswer> m_answers;
};

} // namespace mellowby::search
