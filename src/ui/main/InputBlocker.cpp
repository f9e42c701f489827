// Keeps a window from taking input while an operation runs, without greying it.
#include "InputBlocker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

bool isInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    // The close box too: the program must not end under a connect.
    case QEvent::Close:
        return event.spontaneous();
    default:
        return false;
    }
}

} // namespace

InputBlocker::InputBlocker(QWidget* window)
    : QObject(window)
    , m_window(window)
{ }

void InputBlocker::hold()
{
    if (m_holds++ == 0)
        qApp->installEventFilter(this);
}

void InputBlocker::release()
{
    if (--m_holds == 0)
        qApp->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!watched->isWidgetType() || !isInput(*event))
        return false;
    return isBlocked(static_cast<QWidget*>(watched));
}

bool InputBlocker::isBlocked(const QWidget* widget) const
{
    for (const QWidget* window = widget->window(); window;
         window = window->parentWidget() ? window->parentWidget()->window() : nullptr) {
        if (window == m_exempt)
            return false;
        if (window == m_window)
            return true;
        // A menu or list that pops up belongs to the window it pops up from; a dialog or a window beside the main
        // window (the help) is a window of its own.
        if (window->windowType() != Qt::Popup)
            return false;
    }
    return false;
}
