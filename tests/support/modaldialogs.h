#pragma once

#include <functional>
#include <utility>

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace mellowby::tests {

// Runs handle on the next modal dialog as soon as it is open: a test that opens one is blocked
// in its event loop until something answers it.
inline void whenDialogOpens(std::function<void(QWidget*)> handle)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, handle = std::move(handle)] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            handle(dialog);
        }
    });
    poll->start(10);
}

} // namespace mellowby::tests
