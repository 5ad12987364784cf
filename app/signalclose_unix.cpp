// The POSIX part of SignalClose, built only on Unix.

#include "signalclose.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quadrelink::platform {

namespace {

constexpr std::array<int, 3> terminationSignals {SIGTERM, SIGINT, SIGHUP};

// What the signal handler works with. A handler is given nothing but the
// signal's number, so this must be reachable without an object: it is the only
// state kept outside the watch. Only lock-free atomics and a plain buffer are
// touched in the handler.
struct HandlerState
{
    std::atomic<int> writeEnd {-1}; // of the watch's socket pair; -1 without a watch
    std::atomic<int> firstSignal {0};
    std::atomic<long long> firstSignalAt {0}; // monotonic nanoseconds
    std::atomic<long long> hungShutDown {0}; // nanoseconds
    std::atomic<bool> lockFileSet {false};
    std::array<char, 4096> lockFile {};
};
HandlerState handlerState;
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<long long>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

long long monotonicNanoseconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

// Does only what is safe in a signal handler. The first signal is handed to
// the event loop as one byte; later ones are the same request and change
// nothing, unless the shut-down has hung for long: then the lock file is
// removed and the process ends by the signal.
void onTerminationSignal(int signal)
{
    const int savedErrno = errno;
    int none = 0;
    if (handlerState.firstSignal.compare_exchange_strong(none, signal)) {
        handlerState.firstSignalAt.store(monotonicNanoseconds());
        const auto number = static_cast<unsigned char>(signal);
        const int writeEnd = handlerState.writeEnd.load();
        if (writeEnd >= 0 && ::write(writeEnd, &number, 1) < 0) {
            // Nothing else can be done here; the byte is the only one written.
        }
    } else if (monotonicNanoseconds() - handlerState.firstSignalAt.load()
               >= handlerState.hungShutDown.load()) {
        if (handlerState.lockFileSet.load())
            ::unlink(handlerState.lockFile.data());
        // Blocked while this handler runs; delivered, and fatal, as it returns.
        endBySignal(signal);
    }
    errno = savedErrno;
}

class SignalWatch final : public QObject
{
public:
    SignalWatch(int readEnd, int writeEnd, std::function<void(int)> onSignal,
                std::chrono::milliseconds hungShutDown)
        : m_readEnd(readEnd)
        , m_writeEnd(writeEnd)
        , m_notifier(readEnd, QSocketNotifier::Read)
        , m_onSignal(std::move(onSignal))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &SignalWatch::takeSignals);
        handlerState.firstSignal.store(0);
        handlerState.hungShutDown.store(std::chrono::nanoseconds(hungShutDown).count());
        handlerState.writeEnd.store(m_writeEnd);

        struct sigaction action
        { };
        action.sa_handler = &onTerminationSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : terminationSignals)
            sigaddset(&action.sa_mask, signal);
        // Interrupted system calls resume. The handler stays installed for every
        // later signal: a default action there could end the process before
        // the port is closed.
        action.sa_flags = SA_RESTART;
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
        handlerState.writeEnd.store(-1);
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

std::unique_ptr<QObject> watchTerminationSignals(std::function<void(int)> onSignal,
                                                 std::chrono::milliseconds hungShutDown)
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
        return nullptr;
    for (const int end : ends) {
        // The handler must never block, and the reader takes what is there.
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    return std::make_unique<SignalWatch>(ends[0], ends[1], std::move(onSignal), hungShutDown);
}

int firstTerminationSignal()
{
    return handlerState.firstSignal.load();
}

void setLockFileToRemove(const QByteArray &path)
{
    // Cleared first, so that a handler meanwhile finds no half-written name.
    handlerState.lockFileSet.store(false);
    if (path.isEmpty() || path.size() >= qsizetype(handlerState.lockFile.size()))
        return;
    std::memcpy(handlerState.lockFile.data(), path.constData(), path.size());
    handlerState.lockFile[path.size()] = '\0';
    handlerState.lockFileSet.store(true);
}

// Safe in a signal handler too: sigaction() and raise() are.
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
