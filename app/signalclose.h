#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace quadrelink {

// Ends the program through a shut-down of its own when it is ended from
// outside, so that the serial port is closed and its lock file goes with it:
// - SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C in a terminal, the end of the
//   session) close the port and end the event loop; the program then ends by
//   the first of them. Any number and mix of them is one request to end: a
//   terminal that closes sends two or three at once, and none of the later
//   ones may end the process while the port is still open. From the first
//   signal on no port opens. Only a shut-down that still hangs
//   `hungShutDown` after the first signal is ended by the next one, and the
//   lock file is removed before;
// - when the display connection is lost, Qt's X11 backend ends the process
//   with exit(1) from inside the event loop; the port is closed on that way
//   out.
// Where the platform has no such signals only the second applies. One per
// program, made before its port opens, so that from the port's first open on a
// signal is always handled.
class SignalClose final : public QObject
{
    Q_OBJECT

public:
    // Long enough for any close of a port, however slow its driver.
    static constexpr std::chrono::milliseconds defaultHungShutDown = std::chrono::seconds(5);

    // `closePort` closes the port if it is open: the one action of every way
    // out.
    explicit SignalClose(std::function<void()> closePort,
                         std::chrono::milliseconds hungShutDown = defaultHungShutDown);
    ~SignalClose() override;

    // False from the moment a termination signal arrived: the handler itself
    // records it, before the event loop has heard of it.
    [[nodiscard]] static bool portMayOpen();

    // The lock file of the open port (empty when none is open), for the handler
    // to remove when it ends a shut-down that hangs.
    void setLockFile(const QString &path);

    // What main returns: the event loop's status, unless a signal ended it.
    // Then the port is closed once more, should anything have reopened it, and
    // the process ends here by that same signal, as it would have without this
    // handler, so that a shell or a session manager sees what ended it (a
    // script stops at Ctrl+C; `$?` is 128 plus the signal number).
    [[nodiscard]] int exitStatus(int status) const;

private:
    void endOnSignal(int signal);
    static void closePortOnExit();

    std::function<void()> m_closePort;
    int m_signal = 0; // the signal that ended the event loop
    std::unique_ptr<QObject> m_watch;
};

// The platform's part: signalclose_unix.cpp, or signalclose_other.cpp where
// there are no POSIX signals.
namespace platform {

// Calls onSignal from the event loop with the number of the first SIGTERM,
// SIGINT or SIGHUP that arrives, for as long as the returned object lives; a
// later one ends the process once `hungShutDown` has passed since the first.
// nullptr where there are no such signals.
[[nodiscard]] std::unique_ptr<QObject>
watchTerminationSignals(std::function<void(int)> onSignal, std::chrono::milliseconds hungShutDown);

// The first termination signal that arrived while a watch lived, 0 if none.
[[nodiscard]] int firstTerminationSignal();

// The file the handler removes before it ends a shut-down that hangs.
void setLockFileToRemove(const QByteArray &path);

// Ends the process by `signal` with the system's default action for it.
// Returns only where that is not possible.
void endBySignal(int signal);

} // namespace platform

} // namespace quadrelink
