#include "simulatedsensor.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace quadrelink::sim {

namespace {

// While nobody holds the terminal side open, the device side reports a hang-up on
// every poll; watching it with a notifier would spin. Instead it is looked at this
// often until a program opens the port.
constexpr auto peerPollInterval = 20ms;

// A program that writes commands but never reads would make replies pile up; above
// this the sensor stops reading commands until the program catches up.
constexpr qsizetype queueHighWater = 64 * 1024;
constexpr qsizetype queueLowWater = 16 * 1024;

// Unpaced output goes out in slices of this size so that a fast reader cannot keep
// the sensor writing forever without returning to the event loop.
constexpr qsizetype writeSlice = 64 * 1024;

// A late timer may leave the paced line behind; it catches up at most this much at
// once instead of bursting out everything it owes.
constexpr auto maxPacingBacklog = 100ms;

constexpr qsizetype floodBatchBytes = 256;

QString errnoString(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

SimulatedSensor::SimulatedSensor(QObject *parent)
    : SimulatedSensor(Options {}, parent)
{ }

SimulatedSensor::SimulatedSensor(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_model(options.seed,
              {.silent = options.silent,
               .noCarriageReturn = options.noCarriageReturn,
               .randomBytes = options.randomBytes,
               .distance = options.distance})
{
    m_peerPollTimer.setInterval(peerPollInterval);
    m_gapTimer.setSingleShot(true);
    m_gapTimer.setTimerType(Qt::PreciseTimer);
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    m_hangUpTimer.setSingleShot(true);
    m_hangUpTimer.setTimerType(Qt::PreciseTimer);

    connect(&m_readNotifier, &QSocketNotifier::activated, this, [this] { readFromPeer(); });
    connect(&m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        m_writeNotifier.setEnabled(false);
        pump();
    });
    connect(&m_peerPollTimer, &QTimer::timeout, this, &SimulatedSensor::checkPeer);
    connect(&m_gapTimer, &QTimer::timeout, this, &SimulatedSensor::headGapElapsed);
    connect(&m_paceTimer, &QTimer::timeout, this, &SimulatedSensor::pump);
    connect(&m_hangUpTimer, &QTimer::timeout, this, &SimulatedSensor::hangUp);
}

SimulatedSensor::~SimulatedSensor()
{
    // Notifiers must let go of the descriptor before it is closed.
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    removeLink();
}

bool SimulatedSensor::start()
{
    if (m_state != State::NotStarted) {
        m_errorString = QStringLiteral("The simulated sensor was already started");
        return false;
    }

    int master = -1;
    int terminal = -1;
    if (::openpty(&master, &terminal, nullptr, nullptr, nullptr) < 0) {
        m_errorString = errnoString("openpty");
        return false;
    }
    FileDescriptor masterFd(master);
    FileDescriptor terminalFd(terminal);

    // Raw from the start: otherwise bytes sent before the program sets up its port
    // would be translated (CR to LF) and echoed back to the sensor.
    termios settings {};
    if (::tcgetattr(terminal, &settings) < 0) {
        m_errorString = errnoString("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(terminal, TCSANOW, &settings) < 0) {
        m_errorString = errnoString("tcsetattr");
        return false;
    }
    std::array<char, 128> name {};
    if (::ptsname_r(master, name.data(), name.size()) != 0) {
        m_errorString = errnoString("ptsname_r");
        return false;
    }
    m_devicePath = QString::fromLocal8Bit(name.data());

    const int flags = ::fcntl(master, F_GETFL);
    if (flags < 0 || ::fcntl(master, F_SETFL, flags | O_NONBLOCK) < 0
        || ::fcntl(master, F_SETFD, FD_CLOEXEC) < 0) {
        m_errorString = errnoString("fcntl");
        return false;
    }
    // Only the program may hold the terminal side, so that its closing the port is
    // seen here as a hang-up.
    terminalFd.reset();

    if (!m_options.logPath.isEmpty()) {
        m_log.setFileName(m_options.logPath);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            m_errorString = QStringLiteral("Cannot write the log %1: %2")
                                .arg(m_options.logPath, m_log.errorString());
            return false;
        }
    }
    if (!createLink())
        return false;

    m_master = std::move(masterFd);
    m_readNotifier.setSocket(m_master.get());
    m_writeNotifier.setSocket(m_master.get());
    m_state = State::NoPeer;
    m_peerPollTimer.start();
    if (m_options.hangUpAfter > 0ms)
        m_hangUpTimer.start(m_options.hangUpAfter);
    return true;
}

SimulatedSensor::LineView SimulatedSensor::lineView() const
{
    termios settings {};
    if (!m_master.isValid() || ::tcgetattr(m_master.get(), &settings) < 0)
        return {};
    LineView line;
    // cfgetospeed gives a Bxxx code; the common ones map to their rates.
    static constexpr std::array<std::pair<speed_t, qint32>, 18> rates {{
        {B50, 50},
        {B75, 75},
        {B110, 110},
        {B134, 134},
        {B150, 150},
        {B200, 200},
        {B300, 300},
        {B600, 600},
        {B1200, 1200},
        {B1800, 1800},
        {B2400, 2400},
        {B4800, 4800},
        {B9600, 9600},
        {B19200, 19200},
        {B38400, 38400},
        {B57600, 57600},
        {B115200, 115200},
        {B230400, 230400},
    }};
    const speed_t code = ::cfgetospeed(&settings);
    const auto known = std::ranges::find(rates, code, &std::pair<speed_t, qint32>::first);
    line.baudRate = known == rates.end() ? -1 : known->second; // -1: a rate of its own
    line.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
    const bool odd = settings.c_cflag & PARODD;
    if (settings.c_cflag & CMSPAR)
        line.parityKind = odd ? 'm' : 's';
    else
        line.parityKind = odd ? 'o' : 'e';
    return line;
}

QString SimulatedSensor::describe(const LineView &line)
{
    return QStringLiteral("%1 baud, %2 stop bits, parity kind %3")
        .arg(line.baudRate)
        .arg(line.stopBits)
        .arg(QLatin1Char(line.parityKind));
}

void SimulatedSensor::setBehaviour(SensorModel::Behaviour behaviour)
{
    m_options.silent = behaviour.silent;
    m_options.noCarriageReturn = behaviour.noCarriageReturn;
    m_options.randomBytes = behaviour.randomBytes;
    m_options.distance = behaviour.distance;
    m_model.setBehaviour(behaviour);
}

void SimulatedSensor::setReplyLatency(std::chrono::milliseconds latency)
{
    m_options.replyLatency = latency;
}

void SimulatedSensor::setFlood(bool flood)
{
    m_options.flood = flood;
    if (flood)
        pump();
}

QByteArray SimulatedSensor::logLine(std::chrono::microseconds timestamp, QByteArrayView line)
{
    const auto us = timestamp.count();
    QByteArray text = QByteArray::number(us / 1000) + '.'
        + QByteArray::number(us % 1000).rightJustified(3, '0') + ' ';
    // Received lines may hold any byte; the log stays one readable line per command.
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            text.append("\\\\");
        } else if (byte >= 0x20 && byte < 0x7f) {
            text.append(c);
        } else {
            text.append("\\x");
            text.append(QByteArray::number(byte, 16).rightJustified(2, '0'));
        }
    }
    text.append('\n');
    return text;
}

std::chrono::microseconds SimulatedSensor::monotonicNow()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch());
}

void SimulatedSensor::hangUp()
{
    if (m_state == State::NotStarted || m_state == State::HungUp)
        return;
    m_state = State::HungUp;
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    m_peerPollTimer.stop();
    m_gapTimer.stop();
    m_paceTimer.stop();
    m_hangUpTimer.stop();
    discardQueue();
    m_master.reset();
    emit hungUp();
}

bool SimulatedSensor::createLink()
{
    if (m_options.linkPath.isEmpty())
        return true;
    const QFileInfo existing(m_options.linkPath);
    if (existing.isSymLink()) {
        // Most likely left behind by an earlier run that was killed.
        QFile::remove(m_options.linkPath);
    } else if (existing.exists()) {
        m_errorString
            = QStringLiteral("%1 exists and is not a symbolic link").arg(m_options.linkPath);
        return false;
    }
    if (!QFile::link(m_devicePath, m_options.linkPath)) {
        m_errorString = QStringLiteral("Cannot create the link %1").arg(m_options.linkPath);
        return false;
    }
    m_linkCreated = true;
    return true;
}

void SimulatedSensor::removeLink()
{
    if (!m_linkCreated)
        return;
    m_linkCreated = false;
    // Leave it alone if someone has pointed it elsewhere meanwhile.
    if (QFileInfo(m_options.linkPath).symLinkTarget() == m_devicePath)
        QFile::remove(m_options.linkPath);
}

void SimulatedSensor::checkPeer()
{
    pollfd request {m_master.get(), POLLIN, 0};
    if (::poll(&request, 1, 0) < 0)
        return;
    const bool hangUpReported = request.revents & POLLHUP;
    const bool commandsWaiting = request.revents & POLLIN;
    if (m_state == State::NoPeer && (!hangUpReported || commandsWaiting)) {
        // Data behind a hang-up: a program opened the port, wrote and closed it again
        // between two looks. Served as a short session, so its commands are logged and
        // not answered to the next program.
        peerAppeared();
    } else if (m_state == State::PeerPresent && hangUpReported) {
        // Reading is paused because the program does not read its replies, and now it
        // has closed the port: take what it sent last, then see it leave.
        readFromPeer(true);
    }
}

void SimulatedSensor::peerAppeared()
{
    m_state = State::PeerPresent;
    m_peerPollTimer.stop();
    m_readPaused = false;
    m_readNotifier.setEnabled(true);
    emit peerOpened();
    pump();
}

void SimulatedSensor::peerLeft()
{
    m_state = State::NoPeer;
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    m_gapTimer.stop();
    m_paceTimer.stop();
    discardQueue();
    // A command the program did not finish must not prefix the next program's first one.
    m_model.discardPendingLine();
    flushTerminalInput();
    m_peerPollTimer.start();
    emit peerClosed();
}

void SimulatedSensor::flushTerminalInput() const
{
    // Replies already handed to the terminal stay in its input buffer after the
    // program closes the port, and the next program to open it would read them
    // first. Only a holder of the terminal side can flush that buffer. Best effort:
    // if the port cannot be opened right now, the stale bytes stay.
    FileDescriptor terminal(
        ::open(m_devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (terminal.isValid())
        ::tcflush(terminal.get(), TCIFLUSH);
}

void SimulatedSensor::readFromPeer(bool ignoreBackpressure)
{
    std::array<char, 4096> buffer {};
    while (m_state == State::PeerPresent) {
        const ssize_t count = ::read(m_master.get(), buffer.data(), buffer.size());
        if (count > 0) {
            handleBytes(QByteArrayView(buffer.data(), count));
            if (!ignoreBackpressure && m_queuedBytes > queueHighWater) {
                m_readPaused = true;
                m_readNotifier.setEnabled(false);
                // Still notice the program leaving while it is not being read.
                m_peerPollTimer.start();
                return;
            }
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO (or end of file): the program has closed the port.
        peerLeft();
        return;
    }
}

void SimulatedSensor::handleBytes(QByteArrayView bytes)
{
    const auto exchanges = m_model.receive(bytes);
    for (const auto &exchange : exchanges) {
        record(exchange.line);
        enqueue(exchange.echo);
        enqueue(exchange.answer, m_options.replyLatency);
    }
    pump();
    // Announced after the replies are queued (and, unpaced, already written), so a
    // listener finds them on the line.
    for (const auto &exchange : exchanges)
        emit lineReceived(exchange.line);
}

void SimulatedSensor::record(const QByteArray &line)
{
    const auto timestamp = monotonicNow();
    ++m_receivedLineCount;
    if (m_receivedLines.size() >= keptLines)
        m_receivedLines.removeFirst();
    m_receivedLines.append({timestamp, line});
    if (m_log.isOpen())
        m_log.write(logLine(timestamp, line));
}

void SimulatedSensor::enqueue(QByteArray bytes, std::chrono::milliseconds gapBefore)
{
    if (bytes.isEmpty())
        return;
    m_queuedBytes += bytes.size();
    m_queue.push_back({std::move(bytes), gapBefore});
}

void SimulatedSensor::discardQueue()
{
    m_queue.clear();
    m_queuedBytes = 0;
    m_headOffset = 0;
    m_headGapElapsed = false;
    m_lineIdle = true;
}

void SimulatedSensor::headGapElapsed()
{
    m_headGapElapsed = true;
    pump();
}

void SimulatedSensor::pump()
{
    if (m_state != State::PeerPresent || m_writeNotifier.isEnabled())
        return;

    const auto now = Clock::now();
    const auto characterTime = m_options.baud > 0
        ? std::chrono::nanoseconds(10'000'000'000LL / m_options.baud)
        : std::chrono::nanoseconds::zero();
    qsizetype budget = writeSlice;

    while (true) {
        if (m_queue.empty()) {
            if (!m_options.flood) {
                m_lineIdle = true;
                break;
            }
            QByteArray batch;
            while (batch.size() < floodBatchBytes)
                batch += m_model.unsolicitedAnswer();
            enqueue(std::move(batch));
        }

        const Chunk &head = m_queue.front();
        if (m_headOffset == 0 && head.gapBefore > 0ms && !m_headGapElapsed) {
            m_lineIdle = true;
            if (!m_gapTimer.isActive())
                m_gapTimer.start(head.gapBefore);
            break;
        }
        if (m_lineIdle) {
            m_lineFreeAt = std::max(m_lineFreeAt, now);
            m_lineIdle = false;
        }

        qsizetype allowed = std::min(head.bytes.size() - m_headOffset, budget);
        if (characterTime > 0ns) {
            // A character reaches the program once all its bits are on the line.
            m_lineFreeAt = std::max(m_lineFreeAt, now - maxPacingBacklog);
            const auto due = static_cast<qsizetype>((now - m_lineFreeAt) / characterTime);
            if (due == 0) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
                    m_lineFreeAt + characterTime - now);
                m_paceTimer.start(std::max(wait, 1ms));
                break;
            }
            allowed = std::min(allowed, due);
        }
        if (allowed == 0) {
            // Slice used up: come back through the event loop.
            m_writeNotifier.setEnabled(true);
            break;
        }

        const ssize_t written = ::write(m_master.get(), head.bytes.constData() + m_headOffset,
                                        static_cast<size_t>(allowed));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            // The terminal is full (EAGAIN); anything else means the program is going
            // away, which the read side reports. Either way try again when writable.
            m_writeNotifier.setEnabled(true);
            break;
        }
        m_bytesSent += written;
        m_headOffset += written;
        budget -= written;
        if (characterTime > 0ns)
            m_lineFreeAt += characterTime * written;
        if (m_headOffset == head.bytes.size()) {
            m_queuedBytes -= head.bytes.size();
            m_queue.pop_front();
            m_headOffset = 0;
            m_headGapElapsed = false;
        }
        if (written < allowed) {
            m_writeNotifier.setEnabled(true);
            break;
        }
    }

    if (m_readPaused && m_queuedBytes < queueLowWater) {
        m_readPaused = false;
        m_peerPollTimer.stop();
        m_readNotifier.setEnabled(true);
    }
}

} // namespace quadrelink::sim
