#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/messagebox.h"

namespace mellowby::ui {

// The program's message boxes and its one-line prompt, as Qt dialogs over a parent window.
class QtMessageBox final : public platform::IMessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr);

    // The window the boxes belong to; it may be set once that window exists, and a parent that is
    // destroyed leaves the boxes without one.
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    platform::MessageAnswer show(const platform::MessageRequest& request) override;
    std::optional<std::string> prompt(
        const std::string& text, const std::string& title, const std::string& defaultText) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace mellowby::ui
