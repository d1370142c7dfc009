#pragma once

#include <cstdint>
#include <string>

namespace mellowby::platform {
class IMessageBox;
struct Error;
} // namespace mellowby::platform

namespace mellowby::app {

struct MsgText {
    std::string text;
    std::string title;
};

// The program's error box: message, "(错误代号:N)" when the number is not 0, and a second line
// "错误描述：..." when there is a description; the title is the source, or "Quillon".
MsgText composeMsg(const std::string& message, std::int32_t errorNumber, const std::string& errorDescription,
    const std::string& source);
void ShowMsg(platform::IMessageBox& box, const std::string& message, std::int32_t errorNumber,
    const std::string& errorDescription, const std::string& source);
void ShowMsg(
    platform::IMessageBox& box, const std::string& message, const platform::Error& error, const std::string& source);

} // namespace mellowby::app
