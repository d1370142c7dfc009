#pragma once

#include <atomic>

#include <QObject>

#include "platform/messagebox.h"

namespace mellowby::ui {

// Lets a worker thread raise the program's boxes: a call made off the GUI thread is carried out
// by the wrapped box on the GUI thread, and the worker waits there for the answer, as the user
// expects of a question such as "overwrite?". On the GUI thread it calls the wrapped box
// directly. Must be created on the GUI thread; the wrapped box must outlive it.
class GuiThreadMessageBox final : public platform::IMessageBox {
public:
    explicit GuiThreadMessageBox(platform::IMessageBox& target);
    GuiThreadMessageBox(const GuiThreadMessageBox&) = delete;
    GuiThreadMessageBox& operator=(const GuiThreadMessageBox&) = delete;

    platform::MessageAnswer show(const platform::MessageRequest& request) override;
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override;

    // While set, boxes are answered as if dismissed at once (Ok, No, a cancelled prompt) and
    // never shown. A GUI thread that waits for a worker sets it, and keeps calling
    // deliverQueued(), so that a box the worker asks for meanwhile cannot wait for it in turn.
    void setDismissing(bool dismissing) { m_dismissing.store(dismissing); }
    // Carries out, on the GUI thread, the calls that workers have queued and are waiting on.
    void deliverQueued();

private:
    platform::IMessageBox& m_target;
    // Lives on the GUI thread: the calls of workers are queued to it.
    QObject m_guiThread;
    std::atomic<bool> m_dismissing = false;
};

} // namespace mellowby::ui
