#include "viewer/inputhold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

InputHold::~InputHold()
{
    set(false);
}

void InputHold::set(bool hold)
{
    if (hold == m_held)
        return;
    m_held = hold;
    if (hold)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool InputHold::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_held)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken here, so that no shortcut fires either.
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && onEscape)
            onEscape();
        return true;
    case QEvent::Close:
        if (!holdCloses || !event->spontaneous())
            return QObject::eventFilter(watched, event);
        event->ignore();
        return true;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
