#pragma once

#include "app/form1.h"
#include "serial/serialportcomm.h"
#include "simulatedsensor.h"
#include "testhelpers.h"

#include <QFile>
#include <QHash>
#include <QLabel>
#include <QRegularExpression>
#include <QStringList>

// A window whose port numbers reach simulated sensors on pseudo-terminals,
// with the message box captured.
struct WindowFixture
{
    QHash<int, QString> devices; // port number → device; others have none
    QStringList messages;
    int openMessages = 0;
    int mostOpenMessages = 0;
    std::unique_ptr<quadrelink::Form1> form;

    void open()
    {
        quadrelink::Form1Environment environment;
        environment.messageBox = [this](QWidget *, const QString &text) {
            messages << text;
            mostOpenMessages = std::max(mostOpenMessages, ++openMessages);
            --openMessages;
        };
        auto map = [this](qint16 port) {
            return devices.value(port, QStringLiteral("/dev/quadrelink-none"));
        };
        form = std::make_unique<quadrelink::Form1>(
            std::make_unique<quadrelink::SerialPortComm>(map), std::move(environment));
    }

    [[nodiscard]] QString label2() const { return form->controls().Label2->text(); }
    [[nodiscard]] QString label6() const { return form->controls().Label6->text(); }
    [[nodiscard]] bool showsDistance() const
    {
        static const QRegularExpression distance(QStringLiteral("^\\d{4}$"));
        return distance.match(label2()).hasMatch();
    }
};

inline std::unique_ptr<quadrelink::sim::SimulatedSensor>
startSensor(const quadrelink::sim::SimulatedSensor::Options &options = {})
{
    auto sensor = std::make_unique<quadrelink::sim::SimulatedSensor>(options);
    if (!sensor->start())
        qFatal("cannot start a simulated sensor: %s", qPrintable(sensor->errorString()));
    return sensor;
}

inline qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    return -1;
}
