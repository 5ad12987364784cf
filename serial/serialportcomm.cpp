#include "serialportcomm.h"

#include "commerror.h"
#include "hangupwatch.h"
#include "portclaim.h"
#include "privatedevicename.h"

namespace quadrelink {

namespace {

QSerialPort::Parity toQt(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::None:
        break;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    }
    return QSerialPort::NoParity;
}

} // namespace

SerialPortComm::SerialPortComm(PortMap portMap, QObject *parent)
    : MSComm(parent)
    , m_port(this)
    , m_portMap(std::move(portMap))
{
    m_port.setReadBufferSize(receiveBufferSize);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortComm::onErrorOccurred);
}

SerialPortComm::~SerialPortComm()
{
    if (m_port.isOpen())
        m_port.close();
    m_claim.reset();
}

void SerialPortComm::setCommPort(qint16 port)
{
    if (port < 1)
        throw CommError(CommErrorCode::InvalidPortNumber,
                        QStringLiteral("Invalid port number %1").arg(port));
    if (m_port.isOpen())
        throw CommError(CommErrorCode::PortAlreadyOpen, QStringLiteral("Port is already open"));
    m_commPort = port;
}

void SerialPortComm::setSettings(const QString &settings)
{
    const auto parsed = parseLineSettings(settings);
    if (!parsed)
        throw CommError(CommErrorCode::InvalidSettings,
                        QStringLiteral("Invalid port settings \"%1\"").arg(settings));
    m_settings = *parsed;
    m_settingsText = settings;
    if (m_port.isOpen())
        applyLineSettings();
}

void SerialPortComm::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen())
            closePort();
        return;
    }
    if (m_port.isOpen())
        throw CommError(CommErrorCode::PortAlreadyOpen, QStringLiteral("Port is already open"));

    if (m_openAllowed && !m_openAllowed())
        throw CommError(CommErrorCode::OpenFailed, QStringLiteral("The program is ending"));

    const QString device = m_portMap ? m_portMap(m_commPort) : QString();
    if (device.isEmpty())
        throw CommError(CommErrorCode::OpenFailed,
                        QStringLiteral("No device for port %1").arg(m_commPort));
    // Qt SerialPort would take another program's lock for stale and delete it
    // (a UUCP lock, an old one of its own kind), would not see a flock() on the
    // device, and would block or read without end on a lock path that is a
    // FIFO or a link to a device: the claim looks first, safely, and takes the
    // device's lock file itself.
    auto claim = std::make_unique<PortClaim>(device);
    if (!claim->holder().isEmpty())
        throw CommError(
            CommErrorCode::OpenFailed,
            QStringLiteral("Port %1 is in use: %2").arg(m_commPort).arg(claim->holder()));
    // Qt's own lock file is then named after a name only this process knows,
    // so Qt never meets one that someone else put there.
    const PrivateDeviceName name(device);
    m_port.setPortName(name.path());
    // Settings given to a closed port are applied inside open(), so the line
    // opens straight into them instead of running at Qt's defaults (9600 baud,
    // no parity, 1 stop bit) until they follow.
    applyLineSettings();
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // QSerialPort sets the device's exclusive-use flag; a port held that way by
    // another program fails here.
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QString reason = m_port.errorString();
        m_port.clearError();
        throw CommError(CommErrorCode::OpenFailed,
                        QStringLiteral("Cannot open %1: %2").arg(device, reason));
    }
    m_claim = std::move(claim);
    // Locked with flock() on the port's own handle (a descriptor on Unix, a
    // HANDLE elsewhere), so that programs that look only for that see it taken.
    if (!m_claim->lockOpenDevice(qintptr(m_port.handle()))) {
        closePort();
        throw CommError(CommErrorCode::OpenFailed,
                        QStringLiteral("Port %1 is in use: %2 was locked meanwhile")
                            .arg(m_commPort)
                            .arg(device));
    }
    // The system raises DTR and RTS as it opens the device; they can be dropped
    // only now.
    m_port.setDataTerminalReady(false);
    m_port.setRequestToSend(false);
    m_port.clearError();
    platform::watchForHangUp(m_port, [this] { closeLostPort(QStringLiteral("hung up")); });
    emit lockFileChanged(m_claim->lockFile());
}

void SerialPortComm::closePort()
{
    m_port.close();
    m_claim.reset();
    m_port.clearError();
    emit lockFileChanged(QString());
}

QString SerialPortComm::Input()
{
    if (!m_port.isOpen())
        throw CommError(CommErrorCode::PortNotOpen, QStringLiteral("Port is not open"));
    // Asking for exactly what the port holds hands over its receive buffer as it
    // is, where readAll() would first copy it into a newly allocated block; the
    // Latin-1 conversion is then the only pass over the bytes. Latin-1 maps each
    // byte to the character of the same code and back, so NUL and bytes above
    // 0x7F reach the caller unchanged.
    return QString::fromLatin1(m_port.read(m_port.bytesAvailable()));
}

void SerialPortComm::setOutput(const QString &text)
{
    if (!m_port.isOpen())
        throw CommError(CommErrorCode::PortNotOpen, QStringLiteral("Port is not open"));
    // Characters without a single-byte form go out as "?".
    const QByteArray bytes = text.toLatin1();
    // Bytes that are still waiting for room on the line go first: a new command
    // queues behind them, and the port sends both in order as the line drains.
    const bool lineWasIdle = m_port.bytesToWrite() == 0;
    if (m_port.write(bytes) != bytes.size())
        throw CommError(CommErrorCode::DeviceLost, QStringLiteral("Cannot write to the port"));
    if (!lineWasIdle)
        return;
    // On an idle line the command leaves now, not at the next turn of the event
    // loop: there it would wait behind the repaint of the readout, and the
    // sensor would see the polling rhythm shifted by however long the display
    // took.
    m_flushing = true;
    m_port.flush();
    m_flushing = false;
}

void SerialPortComm::applyLineSettings()
{
    // A device may refuse or drop some of these (a pseudo-terminal knows
    // neither parity nor short characters); the text was already accepted, so
    // the port opens, or stays open, with whatever the device can do.
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(toQt(m_settings.parity));
    m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits));
    m_port.setStopBits(m_settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
}

void SerialPortComm::onErrorOccurred(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // A flush that finds the line's buffer still full of earlier bytes fails
        // with EAGAIN, which Qt reports as the same ResourceError as the EIO of
        // a device that is gone. There it only means "not yet": the bytes stay
        // queued and the port sends them when the line has room. A device that
        // is really gone shows again outside the flush (the read finds the
        // hang-up, the queued write fails with EIO) and is closed there.
        if (m_flushing && error == QSerialPort::ResourceError) {
            m_port.clearError();
            break;
        }
        closeLostPort(m_port.errorString());
        break;
    default:
        break;
    }
}

void SerialPortComm::closeLostPort(const QString &reason)
{
    // The device is gone. Left open, the port would report it again and again,
    // or poll it in a tight loop, at full CPU, so it is closed at once.
    if (!m_port.isOpen())
        return;
    qCDebug(serialLog).noquote() << QStringLiteral("Port %1 lost: %2").arg(m_commPort).arg(reason);
    closePort();
    emit portLost();
}

} // namespace quadrelink
