#include "readout.h"

#include <QAccessible>

namespace quadrelink {

void Readout::showReading(const QString &text)
{
    const QString told = reading();
    m_reading = told;
    setText(text);
    if (text.isEmpty())
        return;
    m_reading = text;
    if (*m_reading == told)
        return;
    QAccessibleTextUpdateEvent event(this, 0, told, *m_reading);
    QAccessible::updateAccessibility(&event);
}

} // namespace quadrelink
