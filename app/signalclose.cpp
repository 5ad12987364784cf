#include "signalclose.h"

#include "form1.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

#include <cstdlib>

namespace quadrelink {

namespace {

// Runs the shut-down of every window still there: each closes its port if it
// is open.
void unloadWindows()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Form1 *>(widget)) {
            qint16 cancel = 0;
            window->Form_Unload(cancel);
        }
    }
}

// Runs inside exit(). Qt's X11 backend calls exit(1) from inside the event
// loop when the display connection breaks, so the window's own shut-down never
// runs; closing the port here still removes its lock file. After main has
// returned the application is gone and the window closed already.
void unloadWindowsOnExit()
{
    const QCoreApplication *application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread())
        unloadWindows();
}

} // namespace

SignalClose::SignalClose(QWidget &window)
    : m_window(&window)
    , m_watch(platform::watchTerminationSignals([this](int signal) { closeWindow(signal); }))
{
    std::atexit(&unloadWindowsOnExit);
}

SignalClose::~SignalClose() = default;

int SignalClose::exitStatus(int status) const
{
    if (m_signal == 0)
        return status;
    // The window's shut-down has closed the port. A handler that was waiting
    // in a message box when the signal came goes on as the event loop ends,
    // and the settings apply then reopens the port: it is closed again here.
    unloadWindows();
    platform::endBySignal(m_signal);
    return status;
}

void SignalClose::closeWindow(int signal)
{
    if (m_signal == 0)
        m_signal = signal;
    if (!m_window)
        return;
    m_window->close();
}

} // namespace quadrelink
