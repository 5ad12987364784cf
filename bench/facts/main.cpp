// quadrelink-bench-facts: what the benchmark needs to know of the window, read
// from the program itself rather than typed again: where "Run" is, found by
// its object name in the real window as the current display draws it, and the
// polling period, reply delay and distance query as the sensor dialogue
// defines them. Prints one JSON object. Opens no port.

#include "app/form1.h"
#include "sensor/sensordialogue.h"
#include "serial/serialportcomm.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // No port number leads to a device: the window starts with a red circle.
    quadrelink::Form1 window(
        std::make_unique<quadrelink::SerialPortComm>([](qint16) { return QString(); }));
    window.show();
    QApplication::processEvents();

    auto *run = window.findChild<QPushButton *>(QStringLiteral("Command1"));
    if (!run)
        return 1;
    const QPoint centre = run->mapTo(&window, run->rect().center());
    const QJsonObject facts {
        {"run_button", run->text()},
        {"run_centre", QJsonArray {centre.x(), centre.y()}},
        {"polling_period_ms", quadrelink::SensorDialogue::pollingPeriodMs},
        {"distance_reply_delay_ms", quadrelink::SensorDialogue::distanceReplyDelayMs},
        {"distance_query", quadrelink::SensorDialogue::distanceQuery},
    };
    std::printf("%s\n", QJsonDocument(facts).toJson(QJsonDocument::Compact).constData());
    return 0;
}
