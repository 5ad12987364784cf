#pragma once

#include <QObject>

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

} // namespace quadrelink
