#include "ui/guithreadmessagebox.h"

#include <exception>
#include <optional>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace mellowby::ui {

namespace {

// The answer of call, carried out on guiThread's thread while the calling thread waits.
// Whatever call throws is thrown again in the caller, as a direct call would; nothing may
// escape into the GUI thread's event loop.
template <typename Result, typename Call>
Result answerOnGuiThread(QObject& guiThread, const std::atomic<bool>& dismissing, Result dismissed, Call&& call)
{
    if (dismissing.load())
        return dismissed;
    if (QThread::currentThread() == guiThread.thread())
        return call();
    std::optional<Result> answer;
    std::exception_ptr failure;
    const bool delivered = QMetaObject::invokeMethod(
        &guiThread,
        [&] {
            // The GUI thread may have begun to wait for this worker since the call was queued.
            if (dismissing.load())
                return;
            try {
                answer = call();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
    return delivered && answer ? std::move(*answer) : dismissed;
}

} // namespace

GuiThreadMessageBox::GuiThreadMessageBox(platform::IMessageBox& target)
    : m_target(target)
{
}

platform::MessageAnswer GuiThreadMessageBox::show(const platform::MessageRequest& request)
{
    const platform::MessageAnswer dismissed = request.buttons == platform::MessageButtons::YesNo
        ? platform::MessageAnswer::No
        : platform::MessageAnswer::Ok;
    return answerOnGuiThread(m_guiThread, m_dismissing, dismissed, [&] { return m_target.show(request); });
}

std::optional<std::string> GuiThreadMessageBox::prompt(
    const std::string& text, const std::string& title, const std::string& defaultText)
{
    return answerOnGuiThread(m_guiThread, m_dismissing, std::optional<std::string>(),
        [&] { return m_target.prompt(text, title, defaultText); });
}

void GuiThreadMessageBox::deliverQueued()
{
    QCoreApplication::sendPostedEvents(&m_guiThread, QEvent::MetaCall);
}

} // namespace mellowby::ui
