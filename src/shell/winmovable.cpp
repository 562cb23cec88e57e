#include "winmovable.h"

#include <QMouseEvent>
#include <QWidget>

WinMovable::WinMovable(QWidget* window)
    : QObject(nullptr)
    , m_window(window)
{
    if (window)
        window->installEventFilter(this);
}

WinMovable::~WinMovable()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

bool WinMovable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window.data())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        m_pressPos = me->position().toPoint();
        m_leftHeld = me->button() == Qt::LeftButton;
        break;
    }
    case QEvent::MouseMove: {
        if (m_pressPos.isNull() || !m_leftHeld)
            break;
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint delta = me->position().toPoint() - m_pressPos;
        m_window->move(m_window->geometry().topLeft() + delta);
        break;
    }
    case QEvent::MouseButtonRelease:
        m_leftHeld = false;
        break;
    default:
        break;
    }
    return false;
}
