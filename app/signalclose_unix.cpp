// The POSIX part of SignalClose, built only on Unix.

#include "signalclose.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quadrelink::platform {

namespace {

// The write end of the watch's socket pair. A signal handler is given nothing
// but the signal's number, so this one descriptor must be reachable without an
// object: it is the only state kept outside the watch, set while a watch lives
// and -1 otherwise. Lock-free atomics are safe to read in a signal handler.
std::atomic<int> signalWriteEnd {-1};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr std::array<int, 3> terminationSignals {SIGTERM, SIGINT, SIGHUP};

// Does only what is safe in a signal handler: hands the signal's number to the
// event loop as one byte and leaves errno as it found it.
void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    const int writeEnd = signalWriteEnd.load();
    if (writeEnd >= 0 && ::write(writeEnd, &number, 1) < 0) {
        // A full socket already holds bytes that close the window.
    }
    errno = savedErrno;
}

class SignalWatch final : public QObject
{
public:
    SignalWatch(int readEnd, int writeEnd, std::function<void(int)> onSignal)
        : m_readEnd(readEnd)
        , m_writeEnd(writeEnd)
        , m_notifier(readEnd, QSocketNotifier::Read)
        , m_onSignal(std::move(onSignal))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &SignalWatch::takeSignals);
        signalWriteEnd.store(m_writeEnd);

        struct sigaction action
        { };
        action.sa_handler = &onTerminationSignal;
        sigemptyset(&action.sa_mask);
        // Interrupted system calls resume. After its first delivery a signal has
        // its default action again, so a second one ends a close that hangs.
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        for (std::size_t i = 0; i < terminationSignals.size(); ++i) {
            // A signal the program was started to ignore stays ignored: nohup
            // keeps it running after the session ends, and a background job of a
            // script is not stopped by the Ctrl+C meant for the script.
            ::sigaction(terminationSignals[i], nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler != SIG_IGN)
                ::sigaction(terminationSignals[i], &action, nullptr);
        }

        // A display connection that breaks while Qt writes to it would end the
        // process by SIGPIPE, before anything could close the port. Ignored,
        // the write fails instead and Qt ends the process through exit(), where
        // the port is closed.
        struct sigaction ignore
        { };
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &m_previousPipe);
    }

    ~SignalWatch() override
    {
        ::sigaction(SIGPIPE, &m_previousPipe, nullptr);
        for (std::size_t i = 0; i < terminationSignals.size(); ++i)
            ::sigaction(terminationSignals[i], &m_previous[i], nullptr);
        signalWriteEnd.store(-1);
        ::close(m_readEnd);
        ::close(m_writeEnd);
    }

    SignalWatch(const SignalWatch &) = delete;
    SignalWatch &operator=(const SignalWatch &) = delete;

private:
    void takeSignals()
    {
        unsigned char number = 0;
        while (::read(m_readEnd, &number, 1) == 1)
            m_onSignal(number);
    }

    int m_readEnd;
    int m_writeEnd;
    QSocketNotifier m_notifier;
    std::function<void(int)> m_onSignal;
    std::array<struct sigaction, terminationSignals.size()> m_previous {};
    struct sigaction m_previousPipe
    { };
};

} // namespace

std::unique_ptr<QObject> watchTerminationSignals(std::function<void(int)> onSignal)
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
        return nullptr;
    for (const int end : ends) {
        // The handler must never block, and the reader takes what is there.
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    return std::make_unique<SignalWatch>(ends[0], ends[1], std::move(onSignal));
}

void endBySignal(int signal)
{
    struct sigaction fallback
    { };
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    std::raise(signal);
}

} // namespace quadrelink::platform
