// SignalClose where there are no POSIX signals (Windows): there the window is
// closed by the system's own close and session-end messages, which reach it as
// a close event; only the lost-display path of signalclose.cpp applies.

#include "signalclose.h"

namespace quadrelink::platform {

std::unique_ptr<QObject> watchTerminationSignals(std::function<void(int)>,
                                                 std::chrono::milliseconds)
{
    return nullptr;
}

int firstTerminationSignal()
{
    return 0;
}

void setLockFileToRemove(const QByteArray &) { }

void endBySignal(int) { }

} // namespace quadrelink::platform
