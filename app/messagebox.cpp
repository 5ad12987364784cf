#include "messagebox.h"

#include <QLocale>
#include <QMessageBox>

namespace quadrelink {

void showMessageBox(QWidget *owner, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    // The program's one message, "Недопустимо", is Russian: said so, a screen
    // reader can give it a Russian voice.
    box.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    box.exec();
}

} // namespace quadrelink
