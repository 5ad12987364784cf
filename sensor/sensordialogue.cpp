#include "sensordialogue.h"

#include "extractreply.h"
#include "serial/commerror.h"
#include "serial/mscomm.h"

namespace quadrelink {

SensorDialogue::SensorDialogue(MSComm &comm, QObject *parent)
    : QObject(parent)
    , m_comm(comm)
    , m_timer1(pollingPeriodMs, this)
    , m_timer3(distanceReplyDelayMs, this)
    , m_timer4(commandReplyDelayMs, this)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer3.setObjectName(QStringLiteral("Timer3"));
    m_timer4.setObjectName(QStringLiteral("Timer4"));
}

void SensorDialogue::startPolling()
{
    m_timer1.setEnabled(true);
}

void SensorDialogue::stopPolling()
{
    m_timer1.setEnabled(false);
}

void SensorDialogue::pollingTick()
{
    // Whatever came in after the last answer was read is shown as it arrived
    // until this tick's answer replaces it; usually nothing, so the readout
    // goes blank for the reply delay.
    emit distanceShown(takeInput());
    send(distanceQuery);
    m_timer3.setEnabled(true);
}

void SensorDialogue::distanceReplyDue()
{
    emit distanceShown(readAnswer());
    m_timer3.setEnabled(false);
}

void SensorDialogue::sendCommand(const QString &text)
{
    send(text + u'\r');
    m_timer4.setEnabled(true);
}

void SensorDialogue::commandReplyDue()
{
    emit responseShown(readAnswer());
    m_timer4.setEnabled(false);
}

QString SensorDialogue::takeInput()
{
    QString pending;
    runSuppressed([&] { pending = m_comm.Input(); });
    return pending;
}

void SensorDialogue::send(const QString &line)
{
    runSuppressed([&] { m_comm.setOutput(line); });
}

QString SensorDialogue::readAnswer()
{
    ReplyBuffer = takeInput();
    return ExtractReply(ReplyBuffer);
}

} // namespace quadrelink
