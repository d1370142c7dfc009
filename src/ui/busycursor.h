#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace mellowby::ui {

// The hourglass over every window of the program while a command runs.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A box may come up in the middle of a command that shows the hourglass; over the box the user
// must see the ordinary pointer. Override pointers nest, so this one hands the hourglass back.
class ArrowCursorWhileBusy {
public:
    ArrowCursorWhileBusy()
        : m_pushed(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_pushed)
            QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    }
    ~ArrowCursorWhileBusy()
    {
        if (m_pushed)
            QGuiApplication::restoreOverrideCursor();
    }
    ArrowCursorWhileBusy(const ArrowCursorWhileBusy&) = delete;
    ArrowCursorWhileBusy& operator=(const ArrowCursorWhileBusy&) = delete;

private:
    bool m_pushed;
};

} // namespace mellowby::ui
