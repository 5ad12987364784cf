#pragma once

#include "serial/commdefaults.h"
#include "serial/mscomm.h"

#include <QStringList>

// A scripted serial control for unit tests: synchronous, no timers. It accepts
// and refuses exactly what the real control does, records every property use
// in calls(), and delivers received text only when the test says so.
class FakeComm final : public quadrelink::MSComm
{
    Q_OBJECT

public:
    using MSComm::MSComm;

    qint16 CommPort() const override { return m_commPort; }
    void setCommPort(qint16 port) override;
    QString Settings() const override { return m_settings; }
    void setSettings(const QString &settings) override;
    bool PortOpen() const override { return m_open; }
    void setPortOpen(bool open) override;
    QString Input() override;
    void setOutput(const QString &text) override;

    // Script.
    bool openSucceeds = true;
    void receive(const QString &text) { m_received += text; }
    void loseDevice(); // the device goes away under an open port

    // Record.
    QStringList
        calls; // "CommPort=3", "Settings=1200,n,8,1", "PortOpen=true", "Input", "Output=..."
    QStringList sent;
    [[nodiscard]] QString pending() const { return m_received; }

private:
    qint16 m_commPort = quadrelink::commDefaults.commPort;
    QString m_settings = QString::fromLatin1(quadrelink::commDefaults.settings);
    bool m_open = false;
    QString m_received;
};
