#pragma once

#include "commdefaults.h"
#include "linesettings.h"
#include "mscomm.h"
#include "portmap.h"

#include <QSerialPort>

#include <functional>
#include <memory>

namespace quadrelink {

class PortClaim;

// The serial control over a QSerialPort. Port numbers reach devices through the
// injected map; line settings are checked by our own parser before the driver
// sees them.
class SerialPortComm final : public MSComm
{
    Q_OBJECT

public:
    explicit SerialPortComm(PortMap portMap, QObject *parent = nullptr);
    ~SerialPortComm() override;

    // Asked before every open: while it returns false no port opens (the
    // program is ending, and a handler that goes on meanwhile must not reopen
    // what the shut-down closed).
    void setOpenAllowed(std::function<bool()> allowed) { m_openAllowed = std::move(allowed); }

    [[nodiscard]] qint16 CommPort() const override { return m_commPort; }
    void setCommPort(qint16 port) override;

    [[nodiscard]] QString Settings() const override { return m_settingsText; }
    void setSettings(const QString &settings) override;

    [[nodiscard]] bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;

    [[nodiscard]] QString Input() override;
    void setOutput(const QString &text) override;

    // At most this many received bytes wait in the control; more stay with the
    // operating system and come with a later read, so memory stays bounded when
    // nobody reads and nothing is dropped.
    static constexpr qint64 receiveBufferSize = commDefaults.inBufferSize;

signals:
    // The lock file of the open port after an open, empty after a close.
    void lockFileChanged(const QString &path);

private:
    void closePort();
    void applyLineSettings();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void closeLostPort(const QString &reason);

    QSerialPort m_port;
    std::unique_ptr<PortClaim> m_claim; // the open port's lock, released after the close
    PortMap m_portMap;
    qint16 m_commPort = commDefaults.commPort;
    QString m_settingsText = QString::fromLatin1(commDefaults.settings);
    LineSettings m_settings = *parseLineSettings(m_settingsText);
    bool m_flushing = false; // setOutput is pushing an idle line's bytes out
    std::function<bool()> m_openAllowed;
};

} // namespace quadrelink
