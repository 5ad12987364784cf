// The POSIX part of PortClaim, built only on Unix.

#include "portclaim.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quadrelink {

namespace {

// What a lock file says about its holder.
struct LockContent
{
    qint64 pid = 0;
    QByteArray host; // empty when the format names none
};

// Reads the holder from the first bytes of a lock file, in each format serial
// programs write: ASCII digits on the first line, padded or not (the HDB/UUCP
// "%10d\n", and Qt's "pid\napplication\nhost\n"), or the process number as a
// binary int (old UUCP). Anything else is unreadable.
std::optional<LockContent> parseLock(QByteArrayView bytes)
{
    const QList<QByteArrayView> lines = [&] {
        QList<QByteArrayView> parts;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= bytes.size(); ++i) {
            if (i == bytes.size() || bytes[i] == '\n') {
                parts.append(bytes.sliced(start, i - start));
                start = i + 1;
            }
        }
        return parts;
    }();
    bool ok = false;
    const qint64 pid = QByteArray(lines.constFirst().toByteArray()).trimmed().toLongLong(&ok);
    if (ok && pid > 0 && pid <= INT_MAX) {
        LockContent content {pid, {}};
        if (lines.size() > 2)
            content.host = lines[2].toByteArray().trimmed();
        return content;
    }
    if (bytes.size() == qsizetype(sizeof(int))) {
        int binary = 0;
        std::memcpy(&binary, bytes.data(), sizeof binary);
        if (binary > 0)
            return LockContent {binary, {}};
    }
    return std::nullopt;
}

QByteArray hostName()
{
    std::array<char, 256> name {};
    if (::gethostname(name.data(), name.size() - 1) != 0)
        return {};
    return QByteArray(name.data());
}

// Why the lock file at `path` keeps the device from being opened; empty when
// there is none, or when its holder is gone (a stale lock, which the open
// takes over).
QString lockFileHolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    { };
    if (::lstat(name.constData(), &status) != 0)
        return {};
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("%1 is not a regular file").arg(path);

    const int file
        = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return errno == ENOENT ? QString() : QStringLiteral("%1 cannot be read").arg(path);
    // A few bytes hold the process number, the program's and the host's names.
    std::array<char, 512> bytes {};
    ssize_t count = -1;
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode))
        count = ::read(file, bytes.data(), bytes.size());
    ::close(file);
    if (count < 0)
        return QStringLiteral("%1 cannot be read").arg(path);

    const auto content = parseLock(QByteArrayView(bytes.data(), count));
    if (!content)
        return QStringLiteral("%1 names no holder").arg(path);
    if (!content->host.isEmpty() && content->host != hostName())
        return QStringLiteral("%1 is held on %2").arg(path, QString::fromLocal8Bit(content->host));
    const auto pid = static_cast<pid_t>(content->pid);
    if (pid == ::getpid())
        return {};
    if (::kill(pid, 0) == 0 || errno == EPERM)
        return QStringLiteral("%1 is held by process %2").arg(path).arg(pid);
    return {};
}

QString lockFileName(const QString &device)
{
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QLatin1String("/LCK..") + name;
}

} // namespace

QString PortClaim::lockFilePath(const QString &device)
{
    const QStringList directories {QStringLiteral("/var/lock"),
                                   QStringLiteral("/etc/locks"),
                                   QStringLiteral("/var/spool/locks"),
                                   QStringLiteral("/var/spool/uucp"),
                                   QStringLiteral("/tmp"),
                                   QStringLiteral("/var/tmp"),
                                   QStringLiteral("/var/lock/lockdev"),
                                   QStringLiteral("/run/lock"),
                                   QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    const QString name = lockFileName(device);
    for (const QString &directory : directories) {
        const QByteArray encoded = QFile::encodeName(directory);
        const QString path = directory + name;
        struct stat status
        { };
        if (::access(encoded.constData(), R_OK) == 0
            && (::stat(QFile::encodeName(path).constData(), &status) == 0
                || ::access(encoded.constData(), W_OK) == 0))
            return path;
    }
    return {};
}

PortClaim::PortClaim(const QString &device)
{
    // Where Qt SerialPort will lock, and where other serial programs do.
    const QString name = lockFileName(device);
    QStringList paths {lockFilePath(device), QStringLiteral("/run/lock") + name,
                       QStringLiteral("/var/lock") + name};
    paths.removeAll(QString());
    paths.removeDuplicates();
    for (const QString &path : std::as_const(paths)) {
        m_holder = lockFileHolder(path);
        if (!m_holder.isEmpty())
            return;
    }

    m_probe = ::open(QFile::encodeName(device).constData(),
                     O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_probe < 0) {
        // Any other failure is the open's to report.
        if (errno == EBUSY)
            m_holder = QStringLiteral("%1 is in exclusive use").arg(device);
        return;
    }
    if (::flock(m_probe, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            m_holder = QStringLiteral("%1 is locked by another program").arg(device);
    } else {
        ::flock(m_probe, LOCK_UN);
    }
#ifdef TIOCGEXCL
    // The exclusive-use flag keeps other users out; it does not stop root.
    int exclusive = 0;
    if (m_holder.isEmpty() && ::ioctl(m_probe, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        m_holder = QStringLiteral("%1 is in exclusive use").arg(device);
#endif
}

PortClaim::~PortClaim()
{
    if (m_probe >= 0)
        ::close(m_probe);
}

bool PortClaim::lockOpenDevice(qintptr descriptor)
{
    const bool locked = ::flock(int(descriptor), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (m_probe >= 0) {
        ::close(m_probe);
        m_probe = -1;
    }
    return locked;
}

} // namespace quadrelink
