#pragma once

#include <QObject>

class QMenuBar;
class QWidget;

namespace quadrelink {

// Raises clicked() for a press and release of the left mouse button on a
// widget. With OwnSurface only the widget's own surface counts: a click on one
// of its child controls is not a click on it, as for the frames, whose labels
// and boxes are controls of their own.
class ClickWatcher final : public QObject
{
    Q_OBJECT

public:
    enum class Area { Whole, OwnSurface };

    ClickWatcher(QWidget *watched, Area area);

signals:
    void clicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_watched;
    Area m_area;
    bool m_pressed = false;
};

// Lets the mouse wheel act on a settings box only while the box has the
// keyboard focus, where a wheel step is a choice from the list like an arrow
// key. Over any other box the wheel does nothing: an operator scrolling past
// the frame must not change the line settings unnoticed.
void letWheelActOnlyWithFocus(QWidget *box);

// Keeps the menu bar open that Alt opened while a screen reader runs. Qt's
// accessibility bridge holds every key back until the screen reader has seen
// it, then delivers a copy (without the key's time): when Alt's press and
// release both came before their copies, the copied Alt would close the menu
// bar at once. A copy is told from an operator's second Alt by that missing
// time; only Alt, and only while the menu bar has the keyboard.
void keepAltMenuBarOpen(QMenuBar *bar);

} // namespace quadrelink
