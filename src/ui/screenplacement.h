#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace mellowby::ui {

// Places a window that is not shown yet in the middle of its screen's usable area (the area
// without panels and docks). Moving it also keeps Qt from placing a dialog over its parent.
inline void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect placed(QPoint(0, 0), window.size());
    placed.moveCenter(screen->availableGeometry().center());
    window.move(placed.topLeft());
}

} // namespace mellowby::ui
