#pragma once

#include <QString>

namespace quadrelink {

class MSComm;

// The window's conversation with the sensor over the serial control: the
// distance query and the operator's command lines go out through Output, and
// every answer is taken from Input into the one ReplyBuffer that the distance
// readout and the command reply share.
//
// A failing read or write (port closed during a settings reapply, after a
// failed open, device gone) counts as "nothing received" or "nothing sent", so
// the readouts show "XXXXXX" as for a missing answer and polling goes on.
class SensorDialogue final
{
public:
    explicit SensorDialogue(MSComm &comm)
        : m_comm(comm)
    { }

    // The distance query: "ad" and a carriage return.
    static inline const QString distanceQuery = QStringLiteral("ad\r");

    // Takes every character still pending, as it arrived.
    [[nodiscard]] QString takePending();

    // Sends a command line; the caller has appended its carriage return.
    void send(const QString &line);

    // Takes everything received into ReplyBuffer and returns the answer in it.
    [[nodiscard]] QString readAnswer();

    [[nodiscard]] const QString &replyBuffer() const { return ReplyBuffer; }

private:
    MSComm &m_comm;
    QString ReplyBuffer;
};

} // namespace quadrelink
