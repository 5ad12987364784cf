#include "signalclose.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <cstdlib>

namespace quadrelink {

namespace {

// The SignalClose whose port the exit hook closes. std::atexit takes a plain
// function, so this is where it finds it; set while a SignalClose lives.
SignalClose *exitHookTarget = nullptr;

} // namespace

SignalClose::SignalClose(std::function<void()> closePort, std::chrono::milliseconds hungShutDown)
    : m_closePort(std::move(closePort))
    , m_watch(platform::watchTerminationSignals([this](int signal) { endOnSignal(signal); },
                                                hungShutDown))
{
    static const bool exitHookRegistered = std::atexit(&SignalClose::closePortOnExit) == 0;
    Q_UNUSED(exitHookRegistered);
    exitHookTarget = this;
}

SignalClose::~SignalClose()
{
    if (exitHookTarget == this)
        exitHookTarget = nullptr;
}

bool SignalClose::portMayOpen()
{
    return platform::firstTerminationSignal() == 0;
}

void SignalClose::setLockFile(const QString &path)
{
    platform::setLockFileToRemove(QFile::encodeName(path));
}

int SignalClose::exitStatus(int status) const
{
    if (m_signal == 0)
        return status;
    m_closePort();
    platform::endBySignal(m_signal);
    return status;
}

void SignalClose::endOnSignal(int signal)
{
    if (m_signal != 0)
        return;
    m_signal = signal;
    m_closePort();
    // Ends the message box's loop too, should one be open; the handler that
    // waited in it goes on, and finds that no port may open any more.
    QCoreApplication::exit(0);
}

// Runs inside exit(). Qt's X11 backend calls exit(1) from inside the event
// loop when the display connection breaks, so the window's own shut-down never
// runs; closing the port here still removes its lock file. After main has
// returned the application is gone and the port closed already.
void SignalClose::closePortOnExit()
{
    const QCoreApplication *application = QCoreApplication::instance();
    if (exitHookTarget && application && QThread::currentThread() == application->thread())
        exitHookTarget->m_closePort();
}

} // namespace quadrelink
