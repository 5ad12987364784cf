#include "eventfilters.h"

#include <QMouseEvent>
#include <QWidget>

namespace quadrelink {

ClickWatcher::ClickWatcher(QWidget *watched, Area area)
    : QObject(watched)
    , m_watched(watched)
    , m_area(area)
{
    watched->installEventFilter(this);
}

bool ClickWatcher::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        // Presses that a child control let through reach us mapped to our own
        // coordinates; the child under them tells them apart.
        const QPoint at = mouse->position().toPoint();
        if (m_area == Area::OwnSurface && m_watched->childAt(at))
            return false;
        m_pressed = true;
        return m_area == Area::OwnSurface;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_pressed)
            return false;
        m_pressed = false;
        if (m_watched->rect().contains(mouse->position().toPoint()))
            emit clicked();
        return false;
    }
    default:
        return false;
    }
}

WheelOnlyWithFocus::WheelOnlyWithFocus(QWidget *box)
    : QObject(box)
    , m_box(box)
{
    box->installEventFilter(this);
}

bool WheelOnlyWithFocus::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::Wheel || m_box->hasFocus())
        return false;
    event->ignore();
    return true;
}

} // namespace quadrelink
