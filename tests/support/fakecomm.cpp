#include "fakecomm.h"

#include "serial/commerror.h"
#include "serial/linesettings.h"

using quadrelink::CommError;
using quadrelink::CommErrorCode;

void FakeComm::setCommPort(qint16 port)
{
    calls << QStringLiteral("CommPort=%1").arg(port);
    if (port < 1)
        throw CommError(CommErrorCode::InvalidPortNumber, QStringLiteral("invalid port number"));
    if (m_open)
        throw CommError(CommErrorCode::PortAlreadyOpen, QStringLiteral("port already open"));
    m_commPort = port;
}

void FakeComm::setSettings(const QString &settings)
{
    calls << QStringLiteral("Settings=%1").arg(settings);
    if (!quadrelink::parseLineSettings(settings))
        throw CommError(CommErrorCode::InvalidSettings, QStringLiteral("invalid settings"));
    m_settings = settings;
}

void FakeComm::setPortOpen(bool open)
{
    calls << QStringLiteral("PortOpen=%1").arg(open ? u"true" : u"false");
    if (!open) {
        m_open = false;
        return;
    }
    if (m_open)
        throw CommError(CommErrorCode::PortAlreadyOpen, QStringLiteral("port already open"));
    if (!openSucceeds)
        throw CommError(CommErrorCode::OpenFailed, QStringLiteral("cannot open"));
    m_open = true;
}

QString FakeComm::Input()
{
    calls << QStringLiteral("Input");
    if (!m_open)
        throw CommError(CommErrorCode::PortNotOpen, QStringLiteral("port not open"));
    return std::exchange(m_received, QString());
}

void FakeComm::setOutput(const QString &text)
{
    calls << QStringLiteral("Output=%1").arg(text);
    if (!m_open)
        throw CommError(CommErrorCode::PortNotOpen, QStringLiteral("port not open"));
    sent << text;
}

void FakeComm::loseDevice()
{
    if (!m_open)
        return;
    m_open = false;
    emit portLost();
}
