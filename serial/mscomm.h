#pragma once

#include <QObject>
#include <QString>

namespace quadrelink {

// The serial communications control of the window: five properties and nothing
// else. Every failure is raised as a CommError.
class MSComm : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~MSComm() override = default;

    // The port number used by the next open; numbers below 1 are refused.
    [[nodiscard]] virtual qint16 CommPort() const = 0;
    virtual void setCommPort(qint16 port) = 0;

    // Line settings as "baud,parity,data bits,stop bits", e.g. "1200,n,8,1".
    // A refused text leaves the settings in force unchanged.
    [[nodiscard]] virtual QString Settings() const = 0;
    virtual void setSettings(const QString &settings) = 0;

    // True opens the port with the current port number and settings; opening an
    // open port is an error. False closes it.
    [[nodiscard]] virtual bool PortOpen() const = 0;
    virtual void setPortOpen(bool open) = 0;

    // Everything received since the previous read, in arrival order, one
    // character per byte of the same code; reading empties the receive buffer.
    [[nodiscard]] virtual QString Input() = 0;

    // Sends each character as one byte, unchanged; nothing is appended.
    virtual void setOutput(const QString &text) = 0;

signals:
    // The open port failed under the control (device unplugged, far end hung up)
    // and was closed by it.
    void portLost();
};

} // namespace quadrelink
