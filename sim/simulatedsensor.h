#pragma once

#include "filedescriptor.h"
#include "sensormodel.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>

namespace quadrelink::sim {

// The sensor at the far end of a pseudo-terminal: a program opens devicePath()
// as if it were the sensor's serial port.
//
// It runs in the caller's event loop (socket notifiers and timers, no threads),
// so a test can serve the sensor and drive the program in one thread. Writes
// never block: what the terminal does not take yet is queued and sent when it
// becomes writable.
class SimulatedSensor final : public QObject
{
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    struct Options
    {
        // Line rate: 0 sends as fast as the terminal takes bytes; otherwise each
        // character takes 10 bit times (start, 8 data, stop).
        int baud = 0;
        // Pause between the echo and the answer.
        std::chrono::milliseconds replyLatency {0};
        // Faults, as in SensorModel::Behaviour.
        bool silent = false;
        bool noCarriageReturn = false;
        bool randomBytes = false;
        int distance = 0;
        // Send distance answers without pause for as long as a program holds the port.
        bool flood = false;
        // Close the sensor's side this long after start(), as when a cable is pulled; 0: never.
        std::chrono::milliseconds hangUpAfter {0};
        // One line per received command: "<monotonic ms with 3 decimals> <line>".
        QString logPath;
        // A symbolic link to devicePath(), removed again on destruction.
        QString linkPath;
        quint32 seed = 1;
    };

    struct ReceivedLine
    {
        std::chrono::microseconds timestamp; // Clock's epoch: CLOCK_MONOTONIC
        QByteArray line;
    };

    // receivedLines() keeps this many of the latest lines; receivedLineCount() counts all.
    static constexpr qsizetype keptLines = 10000;

    explicit SimulatedSensor(QObject *parent = nullptr);
    explicit SimulatedSensor(const Options &options, QObject *parent = nullptr);
    ~SimulatedSensor() override;

    // Opens the pseudo-terminal and starts serving; false with errorString() if it cannot.
    [[nodiscard]] bool start();
    [[nodiscard]] QString errorString() const { return m_errorString; }

    [[nodiscard]] QString devicePath() const { return m_devicePath; }

    // The line settings the program gave its side of the port, as the sensor's
    // side sees them. A pseudo-terminal forces 8 data bits and turns parity
    // checking off, so only the baud rate, the stop bits and the kind of parity
    // the program asked for show; "none" and "even" look alike.
    struct LineView
    {
        qint32 baudRate = 0;
        int stopBits = 1;
        char parityKind = 'e'; // 'e' even (or none), 'o' odd, 's' space, 'm' mark

        friend bool operator==(const LineView &, const LineView &) = default;
    };
    [[nodiscard]] LineView lineView() const;
    // "9600 baud, 2 stop bits, parity kind o"
    [[nodiscard]] static QString describe(const LineView &line);
    [[nodiscard]] const Options &options() const { return m_options; }
    [[nodiscard]] bool isPeerOpen() const { return m_state == State::PeerPresent; }

    // Faults and delay can change while serving, e.g. to fall silent mid-session.
    void setBehaviour(SensorModel::Behaviour behaviour);
    void setReplyLatency(std::chrono::milliseconds latency);
    // Starts or ends the flood; what is already queued still goes out.
    void setFlood(bool flood);

    [[nodiscard]] const QList<ReceivedLine> &receivedLines() const { return m_receivedLines; }
    [[nodiscard]] qint64 receivedLineCount() const { return m_receivedLineCount; }
    [[nodiscard]] qint64 bytesSent() const { return m_bytesSent; }

    [[nodiscard]] static std::chrono::microseconds monotonicNow();
    // One log line: milliseconds with three decimals, a space, the line with bytes
    // outside printable ASCII as \xHH and backslash doubled, a newline.
    [[nodiscard]] static QByteArray logLine(std::chrono::microseconds timestamp,
                                            QByteArrayView line);

public slots:
    // Closes the sensor's side now: the program's port sees the device go away.
    void hangUp();

signals:
    void peerOpened();
    void peerClosed();
    void lineReceived(const QByteArray &line);
    void hungUp();

private:
    enum class State { NotStarted, NoPeer, PeerPresent, HungUp };

    struct Chunk
    {
        QByteArray bytes;
        std::chrono::milliseconds gapBefore {0};
    };

    [[nodiscard]] bool createLink();
    void removeLink();
    void checkPeer();
    void peerAppeared();
    void peerLeft();
    void readFromPeer(bool ignoreBackpressure = false);
    void handleBytes(QByteArrayView bytes);
    void record(const QByteArray &line);
    void enqueue(QByteArray bytes, std::chrono::milliseconds gapBefore = {});
    void discardQueue();
    void flushTerminalInput() const;
    void pump();
    void headGapElapsed();

    Options m_options;
    SensorModel m_model;
    State m_state = State::NotStarted;
    QString m_errorString;
    QString m_devicePath;
    bool m_linkCreated = false;
    QFile m_log;

    FileDescriptor m_master;
    QSocketNotifier m_readNotifier {QSocketNotifier::Read, this};
    QSocketNotifier m_writeNotifier {QSocketNotifier::Write, this};
    QTimer m_peerPollTimer {this};
    QTimer m_gapTimer {this};
    QTimer m_paceTimer {this};
    QTimer m_hangUpTimer {this};

    std::deque<Chunk> m_queue;
    qsizetype m_queuedBytes = 0;
    qsizetype m_headOffset = 0;
    bool m_headGapElapsed = false;
    bool m_lineIdle = true;
    bool m_readPaused = false;
    Clock::time_point m_lineFreeAt;

    QList<ReceivedLine> m_receivedLines;
    qint64 m_receivedLineCount = 0;
    qint64 m_bytesSent = 0;
};

} // namespace quadrelink::sim
