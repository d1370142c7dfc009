#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/messagebox.h"

namespace mellowby::fakes {

// Records every box and prompt; answers from a script, then with the defaults (Ok, or No for a
// Yes/No question; a cancelled prompt).
class FakeMessageBox final : public platform::IMessageBox {
public:
    struct Prompt {
        std::string text;
        std::string title;
        std::string defaultText;
    };

    platform::MessageAnswer show(const platform::MessageRequest& request) override;
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override;

    void queueAnswer(platform::MessageAnswer answer) { m_answers.push_back(answer); }
    void queuePromptAnswer(std::optional<std::string> answer) { m_promptAnswers.push_back(std::move(answer)); }

    std::vector<platform::MessageRequest> shown;
    std::vector<Prompt> prompts;

private:
    std::deque<platform::MessageAnswer> m_answers;
    std::deque<std::optional<std::string>> m_promptAnswers;
};

} // namespace mellowby::fakes
