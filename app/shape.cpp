#include "shape.h"

#include "accessibility.h"
#include "systemcolours.h"

#include <QAccessible>
#include <QPainter>

namespace quadrelink {

Shape::Shape(QWidget *parent)
    : QWidget(parent)
{
    // The indicator takes no clicks: a click on it is a click on its frame.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setBackColor(form::Colour colour)
{
    if (colour == m_backColour)
        return;
    const QString stateBefore = portStateText(m_backColour);
    m_backColour = colour;
    update();
    // A screen reader hears the port open or close as it happens: the
    // indicator's text is the port state, and Qt's AT-SPI bridge passes on a
    // replaced text, where it drops a changed value of a control without one.
    const QString state = portStateText(colour);
    if (state != stateBefore) {
        QAccessibleTextUpdateEvent event(this, 0, stateBefore, state);
        QAccessible::updateAccessibility(&event);
    }
}

void Shape::setBorderColor(form::Colour colour)
{
    if (colour == m_borderColour)
        return;
    m_borderColour = colour;
    update();
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(toQColor(m_borderColour, palette()), 1));
    painter.setBrush(toQColor(m_backColour, palette()));
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace quadrelink
