#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

PseudoTerminal::PseudoTerminal()
{
    int terminal = -1;
    char name[256] = {};
    if (::openpty(&m_master, &terminal, name, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    termios raw {};
    ::tcgetattr(terminal, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(terminal, TCSANOW, &raw);
    ::close(terminal);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
}

bool PseudoTerminal::peerOpen() const
{
    pollfd fd {m_master, POLLIN, 0};
    return ::poll(&fd, 1, 0) >= 0 && !(fd.revents & POLLHUP);
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

QByteArray PseudoTerminal::read(qsizetype count, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (m_master >= 0 && got.size() < count && !deadline.hasExpired()) {
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, n);
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return got;
}

QByteArray PseudoTerminal::readWithoutEvents(qsizetype count, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (m_master >= 0 && got.size() < count) {
        char buffer[4096];
        const size_t wanted = std::min(sizeof buffer, size_t(count - got.size()));
        const ssize_t n = ::read(m_master, buffer, wanted);
        if (n > 0) {
            got.append(buffer, n);
            continue;
        }
        if (deadline.hasExpired())
            break;
        pollfd fd {m_master, POLLIN, 0};
        ::poll(&fd, 1, int(std::clamp<qint64>(deadline.remainingTime(), 0, 10)));
    }
    return got;
}

PseudoTerminal::Line PseudoTerminal::line() const
{
    static constexpr std::pair<speed_t, qint32> rates[] {
        {B110, 110},     {B300, 300},     {B600, 600},      {B1200, 1200},
        {B2400, 2400},   {B4800, 4800},   {B9600, 9600},    {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios settings {};
    if (m_master < 0 || ::tcgetattr(m_master, &settings) != 0)
        return {};
    const speed_t speed = ::cfgetospeed(&settings);
    const auto rate = std::ranges::find(rates, speed, &std::pair<speed_t, qint32>::first);
    return {rate == std::end(rates) ? -1 : rate->second, (settings.c_cflag & CSTOPB) != 0,
            (settings.c_cflag & PARODD) != 0, (settings.c_cflag & CMSPAR) != 0};
}

void PseudoTerminal::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
