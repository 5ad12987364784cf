#include "readout.h"

#include <QAccessible>

namespace quadrelink {

namespace {

QString asSeen(QString text)
{
    for (QChar &character : text)
        if (character.category() == QChar::Other_Control && character != u'\n'
            && character != u'\t')
            character = QChar::ReplacementCharacter;
    return text;
}

} // namespace

void Readout::showReading(const QString &text)
{
    const QString told = reading();
    m_reading = told;
    setText(text);
    if (text.isEmpty())
        return;
    m_reading = asSeen(text);
    if (*m_reading == told)
        return;
    QAccessibleTextUpdateEvent event(this, 0, told, *m_reading);
    QAccessible::updateAccessibility(&event);
}

} // namespace quadrelink
