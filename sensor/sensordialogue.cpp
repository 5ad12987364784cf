#include "sensordialogue.h"

#include "extractreply.h"
#include "serial/commerror.h"
#include "serial/mscomm.h"

namespace quadrelink {

QString SensorDialogue::takePending()
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
    ReplyBuffer = takePending();
    return ExtractReply(ReplyBuffer);
}

} // namespace quadrelink
