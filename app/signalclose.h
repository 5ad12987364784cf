#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QWidget;

namespace quadrelink {

// Ends the program through its window's shut-down when it is ended from
// outside, so that the serial port is closed and its lock file goes with it:
// - SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C in a terminal, the end of the
//   session) close the window as its close button does; a second signal of the
//   same kind ends the program at once, for a close that hangs;
// - when the display connection is lost, Qt's X11 backend ends the process
//   with exit(1) from inside the event loop; the window's port is closed on
//   that way out.
// Where the platform has no such signals only the second applies. One per
// program, for its one window.
class SignalClose final : public QObject
{
    Q_OBJECT

public:
    explicit SignalClose(QWidget &window);
    ~SignalClose() override;

    // What main returns: the event loop's status, unless a signal closed the
    // window. Then the process ends here by that same signal, as it would have
    // without this handler, so that a shell or a session manager sees what
    // ended it (a script stops at Ctrl+C; `$?` is 128 plus the signal number).
    [[nodiscard]] int exitStatus(int status) const;

private:
    void closeWindow(int signal);

    QPointer<QWidget> m_window;
    int m_signal = 0; // the signal that closed the window
    std::unique_ptr<QObject> m_watch;
};

// The platform's part: signalclose_unix.cpp, or signalclose_other.cpp where
// there are no POSIX signals.
namespace platform {

// Calls onSignal from the event loop with the signal's number whenever
// SIGTERM, SIGINT or SIGHUP arrives, for as long as the returned object lives;
// nullptr where there are no such signals.
[[nodiscard]] std::unique_ptr<QObject> watchTerminationSignals(std::function<void(int)> onSignal);

// Ends the process by `signal` with the system's default action for it.
// Returns only where that is not possible.
void endBySignal(int signal);

} // namespace platform

} // namespace quadrelink
