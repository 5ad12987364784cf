// quadrelink-window-facts: what the benchmark and the test scripts need to know
// of the window, read from the program itself rather than typed again: where
// the controls are in the real window as the current display draws it (the
// menu bar included), the tab order with each stop's accessible name, the
// settings boxes' lists, the caption's fixed start, and the polling period,
// reply delay and distance query as the sensor dialogue defines them. Opens no
// port. Prints one fact a line, `name='value'`: a shell sources it, Python
// reads it with shlex. The build writes it to window-facts in the build tree.

#include "app/form1.h"
#include "app/startuptexts.h"
#include "sensor/sensordialogue.h"
#include "serial/serialportcomm.h"
#include "serial/settingsapply.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QStringList>

#include <cstdio>

namespace {

void fact(const char *name, const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    std::printf("%s='%s'\n", name, qPrintable(quoted));
}

// "x y width height" of a control in the window's own pixels.
QString rectangle(const QWidget &window, const QWidget &control)
{
    const QPoint at = control.mapTo(&window, QPoint(0, 0));
    return QStringLiteral("%1 %2 %3 %4")
        .arg(at.x())
        .arg(at.y())
        .arg(control.width())
        .arg(control.height());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // No port number leads to a device: the window starts with a red circle.
    quadrelink::Form1 window(
        std::make_unique<quadrelink::SerialPortComm>([](qint16) { return QString(); }));
    window.show();
    QApplication::processEvents();

    auto *run = window.findChild<QWidget *>(QStringLiteral("Command1"));
    auto *readout = window.findChild<QWidget *>(QStringLiteral("Label2"));
    auto *response = window.findChild<QWidget *>(QStringLiteral("Label6"));
    auto *circle = window.findChild<QWidget *>(QStringLiteral("Shape1"));
    if (!run || !readout || !response || !circle)
        return 1;

    // The stops Tab visits from the first, as QWidget's own focus chain goes.
    QStringList stops, names;
    QWidget *first = window.focusWidget() ? window.focusWidget() : &window;
    for (QWidget *w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isVisibleTo(&window)
            && w->isEnabled())
            stops << w->objectName(), names << w->accessibleName();
    stops.prepend(first->objectName());
    names.prepend(first->accessibleName());

    // Two dates that share no first character in any date format: what the
    // captions share is the product's part.
    const auto regional = quadrelink::RegionalSettings::from(QLocale());
    const QString early = quadrelink::formCaption(QDate(1999, 3, 3), regional);
    const QString late = quadrelink::formCaption(QDate(2011, 11, 11), regional);
    qsizetype common = 0;
    while (common < early.size() && common < late.size() && early[common] == late[common])
        ++common;
    fact("caption_start", early.left(common));

    fact("tab_stops", stops.join(QLatin1Char(' ')));
    fact("tab_stop_names", names.join(QLatin1Char('|')));
    for (std::size_t box = 0; box < quadrelink::settingsBoxCount; ++box) {
        auto *combo = window.findChild<QComboBox *>(QStringLiteral("Combo1_%1").arg(box));
        if (!combo)
            return 1;
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        fact(qPrintable(QStringLiteral("box%1_items").arg(box)), items.join(QLatin1Char(' ')));
        fact(qPrintable(QStringLiteral("box%1_start").arg(box)),
             QString::number(combo->currentIndex()));
    }
    fact("run_button", run->property("text").toString());
    const QPoint centre = run->mapTo(&window, run->rect().center());
    fact("run_centre", QStringLiteral("%1 %2").arg(centre.x()).arg(centre.y()));
    fact("readout_rect", rectangle(window, *readout));
    fact("response_rect", rectangle(window, *response));
    fact("circle_rect", rectangle(window, *circle));
    fact("polling_period_ms", QString::number(quadrelink::SensorDialogue::pollingPeriodMs));
    fact("distance_reply_delay_ms",
         QString::number(quadrelink::SensorDialogue::distanceReplyDelayMs));
    // Without its line end, which a line of this file cannot hold.
    fact("distance_query", quadrelink::SensorDialogue::distanceQuery.trimmed());
    return 0;
}
