#include "eventfilters.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWidget>

#include <functional>

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

namespace {

// A filter that the object it lives on owns, answering with a function.
class FilterBy final : public QObject
{
public:
    FilterBy(QObject *owner, std::function<bool(QEvent *)> filter)
        : QObject(owner)
        , m_filter(std::move(filter))
    { }

protected:
    bool eventFilter(QObject *, QEvent *event) override { return m_filter(event); }

private:
    std::function<bool(QEvent *)> m_filter;
};

} // namespace

void letWheelActOnlyWithFocus(QWidget *box)
{
    box->installEventFilter(new FilterBy(box, [box](QEvent *event) {
        if (event->type() != QEvent::Wheel || box->hasFocus())
            return false;
        event->ignore();
        return true;
    }));
}

void keepAltMenuBarOpen(QMenuBar *bar)
{
    // The menu bar learns of Alt from the event that asks whether a shortcut
    // is overridden, sent to the widget with the focus and up to the window:
    // only a filter on the application sees it before the menu bar does.
    qApp->installEventFilter(new FilterBy(bar, [bar](QEvent *event) {
        if (event->type() != QEvent::ShortcutOverride || !bar->hasFocus())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        return key->key() == Qt::Key_Alt && key->timestamp() == 0;
    }));
}

} // namespace quadrelink
