#pragma once

#include "serial/formtimer.h"

#include <QObject>
#include <QString>

namespace quadrelink {

class MSComm;

// The window's conversation with the sensor: the distance polling cycle and the
// operator's command exchange over one serial control, with the one
// ReplyBuffer that both share. Each step is one handler, run when its button
// is pressed or its timer fires; the window connects the timers to its
// handlers, which forward here, and shows what the signals hand out.
//
// Both channels read the one receive buffer without coordination: whichever
// handler reads first takes all pending text. A failing read or write (port
// closed during a settings reapply, after a failed open, device gone) counts
// as "nothing received" or "nothing sent", so the readouts show "XXXXXX" as
// for a missing answer and polling goes on.
class SensorDialogue final : public QObject
{
    Q_OBJECT

public:
    static constexpr int pollingPeriodMs = 200;
    static constexpr int distanceReplyDelayMs = 50;
    static constexpr int commandReplyDelayMs = 150;
    static_assert(distanceReplyDelayMs < pollingPeriodMs,
                  "the reply delay is shorter than the polling period, so each answer is read "
                  "before the next query goes out");

    // The distance query: "ad" and a carriage return.
    static inline const QString distanceQuery = QStringLiteral("ad\r");

    explicit SensorDialogue(MSComm &comm, QObject *parent = nullptr);

    // Timer1, the polling clock; Timer3, the distance reply delay; Timer4, the
    // command reply delay. Each reply delay is one-shot: its handler disables it.
    [[nodiscard]] FormTimer &pollingClock() { return m_timer1; }
    [[nodiscard]] FormTimer &distanceReplyDelay() { return m_timer3; }
    [[nodiscard]] FormTimer &commandReplyDelay() { return m_timer4; }

    // "Run": the first query goes out at the first tick, one period later; a
    // second "Run" starts no second cycle.
    void startPolling();
    // "Stop": a reply delay already running still ends with its read.
    void stopPolling();
    // A polling tick: shows what is still pending, sends the query, starts the
    // reply delay.
    void pollingTick();
    // The reply delay has passed: the answer to the last query is shown.
    void distanceReplyDue();

    // "Out": sends the command text and a carriage return, starts the delay.
    // Text already pending stays and becomes the start of what is scanned.
    void sendCommand(const QString &text);
    // The command's delay has passed: its answer is shown.
    void commandReplyDue();

    [[nodiscard]] const QString &replyBuffer() const { return ReplyBuffer; }

signals:
    // What the distance readout shows now: pending text as it came at a tick
    // (usually nothing), then the answer.
    void distanceShown(const QString &text);
    // What the command's response shows now: the answer or "XXXXXX".
    void responseShown(const QString &text);

private:
    [[nodiscard]] QString takeInput();
    void send(const QString &line);
    [[nodiscard]] QString readAnswer();

    MSComm &m_comm;
    FormTimer m_timer1;
    FormTimer m_timer3;
    FormTimer m_timer4;
    QString ReplyBuffer;
};

} // namespace quadrelink
