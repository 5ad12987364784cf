#include "shape.h"

#include "systemcolours.h"

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
    m_backColour = colour;
    update();
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
