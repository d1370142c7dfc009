#include "search/oncemessagebox.h"

namespace mellowby::search {

platform::MessageAnswer OnceMessageBox::show(const platform::MessageRequest& request)
{
    auto key = std::make_pair(request.text, request.title);
    if (const auto found = m_answers.find(key); found != m_answers.end())
        return found->second;
    const platform::MessageAnswer answer = m_target.show(request);
    m_answers.emplace(std::move(key), answer);
    return answer;
}

std::optional<std::string> OnceMessageBox::prompt(
    const std::string& text, const std::string& title, const std::string& defaultText)
{
    // A prompt asks for something new each time; it is never answered from memory.
    return m_target.prompt(text, title, defaultText);
}

} // namespace mellowby::search
