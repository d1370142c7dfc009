#include "app/showmsg.h"

#include <string>

#include "platform/error.h"
#include "platform/messagebox.h"

namespace mellowby::app {

MsgText composeMsg(const std::string& message, std::int32_t errorNumber, const std::string& errorDescription,
    const std::string& source)
{
    MsgText msg;
    msg.text = message;
    if (errorNumber != 0)
        msg.text.append("(错误代号:").append(std::to_string(errorNumber)).append(")");
    if (!errorDescription.empty())
        msg.text.append("\r\n错误描述：").append(errorDescription);
    msg.title = source.empty() ? std::string("Quillon") : source;
    return msg;
}

void ShowMsg(platform::IMessageBox& box, const std::string& message, std::int32_t errorNumber,
    const std::string& errorDescription, const std::string& source)
{
    // The error box is the last resort of every failure path; a failure of its own must not
    // start another one.
    try {
        MsgText msg = composeMsg(message, errorNumber, errorDescription, source);
        box.show({ std::move(msg.text), std::move(msg.title), platform::MessageIcon::Warning,
            platform::MessageButtons::Ok });
    } catch (...) {
    }
}

void ShowMsg(
    platform::IMessageBox& box, const std::string& message, const platform::Error& error, const std::string& source)
{
    ShowMsg(box, message, error.number, error.description, source);
}

} // namespace mellowby::app
