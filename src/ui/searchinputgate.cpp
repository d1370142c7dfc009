#include "ui/searchinputgate.h"

#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWidget>

namespace mellowby::ui {

namespace {

bool isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

bool isWithin(const QWidget* widget, const QWidget* ancestor)
{
    return ancestor != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

// The keys that move through the list without acting on a row.
bool isScrollingKey(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    switch (static_cast<const QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

SearchInputGate::SearchInputGate(Controls controls, std::function<void()> stop)
    : m_controls(controls)
    , m_stop(std::move(stop))
{
    QCoreApplication::instance()->installEventFilter(this);
}

SearchInputGate::~SearchInputGate()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool SearchInputGate::eventFilter(QObject* watched, QEvent* event)
{
    if (!isInputEvent(event->type()))
        return false;
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget == nullptr)
        // Window-system input reaches a widget next and is judged there; a shortcut of a menu
        // command goes to its action, and would run the command.
        return event->type() == QEvent::Shortcut;
    if (widget->window() != m_controls.window)
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_stop();
        return true;
    }
    return !letsThrough(widget, event);
}

bool SearchInputGate::letsThrough(const QWidget* widget, const QEvent* event) const
{
    if (isWithin(widget, m_controls.findText) || isWithin(widget, m_controls.findButton))
        return true;
    if (!isWithin(widget, m_controls.list))
        return false;
    if (event->type() == QEvent::Wheel || isScrollingKey(event))
        return true;
    // The list's scroll bars are its descendants; a click on a row is not let through, for a
    // double click would open it.
    for (const QWidget* level = widget; level != m_controls.list; level = level->parentWidget()) {
        if (qobject_cast<const QScrollBar*>(level) != nullptr)
            return true;
    }
    return false;
}

} // namespace mellowby::ui
