#pragma once

#include <optional>
#include <string>

namespace mellowby::platform {

enum class MessageIcon { None, Information, Warning, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;

    bool operator==(const MessageRequest&) const = default;
};

// Blocking message boxes and the one-line text prompt. The windows implement it with Qt;
// tests script the answers and record what was asked.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;

    virtual MessageAnswer show(const MessageRequest& request) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText)
        = 0;
};

} // namespace mellowby::platform
