#include "fakes/fakemessagebox.h"

namespace mellowby::fakes {

platform::MessageAnswer FakeMessageBox::show(const platform::MessageRequest& request)
{
    shown.push_back(request);
    if (!m_answers.empty()) {
        auto answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    return request.buttons == platform::MessageButtons::YesNo ? platform::MessageAnswer::No
                                                              : platform::MessageAnswer::Ok;
}

std::optional<std::string> FakeMessageBox::prompt(
    const std::string& text, const std::string& title, const std::string& defaultText)
{
    prompts.push_back({ text, title, defaultText });
    if (!m_promptAnswers.empty()) {
        auto answer = m_promptAnswers.front();
        m_promptAnswers.pop_front();
        return answer;
    }
    return std::nullopt;
}

} // namespace mellowby::fakes
