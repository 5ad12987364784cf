#include "framebox.h"

#include <QPainter>

namespace quadrelink {

void FrameBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int top = metrics.height() / 2;
    const QRect border = rect().adjusted(0, top, -1, -1);

    // Etched: a shadow line with a light line one pixel inside and below it.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(border.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.adjusted(1, 1, 0, 0));

    if (title().isEmpty())
        return;
    const int indent = metrics.averageCharWidth();
    QRect titleRect(indent, 0, metrics.horizontalAdvance(title()) + indent, metrics.height());
    painter.fillRect(titleRect, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(titleRect, Qt::AlignCenter | Qt::TextSingleLine, title());
}

} // namespace quadrelink
