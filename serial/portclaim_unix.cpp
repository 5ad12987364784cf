// The POSIX part of PortClaim, built only on Unix.

#include "portclaim.h"

#include "lockfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <array>
#include <cerrno>
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

QByteArray hostName()
{
    std::array<char, 256> name {};
    if (::gethostname(name.data(), name.size() - 1) != 0)
        return {};
    return QByteArray(name.data());
}

// This program's name as lock files give it: its executable's file name, as
// Qt's own lock files name their program.
QByteArray programName()
{
    return QFile::encodeName(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

// Reads at most `limit` bytes of a small file under /proc.
QByteArray readProcFile(const QByteArray &path, qsizetype limit)
{
    const int file = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return {};
    QByteArray bytes(limit, Qt::Uninitialized);
    const ssize_t count = ::read(file, bytes.data(), std::size_t(limit));
    ::close(file);
    bytes.truncate(count < 0 ? 0 : qsizetype(count));
    return bytes;
}

// Whether the live process `pid` runs the program called `name`; unknown when
// the system does not tell.
std::optional<bool> runsProgram(pid_t pid, const QByteArray &name)
{
    const QByteArray process = "/proc/" + QByteArray::number(pid);
    std::array<char, 4096> target {};
    const ssize_t length = ::readlink((process + "/exe").constData(), target.data(), target.size());
    if (length > 0 && std::size_t(length) < target.size()) {
        QByteArray path(target.data(), length);
        if (path.endsWith(" (deleted)"))
            path.chop(10);
        return path.mid(path.lastIndexOf('/') + 1) == name;
    }
    // Another user's process hides its executable from all but root; its
    // command name (the executable's, cut to 15 bytes) is open to everyone.
    const QByteArray command = readProcFile(process + "/comm", 64).trimmed();
    if (command.isEmpty())
        return std::nullopt;
    return command == name.left(15);
}

// Why a lock file saying `content` keeps the device from being opened; empty
// when its holder is gone.
QString holderNamedIn(const QString &path, const LockContent &content)
{
    if (!content.host.isEmpty() && content.host != hostName())
        return QStringLiteral("%1 is held on %2").arg(path, QString::fromLocal8Bit(content.host));
    const auto pid = static_cast<pid_t>(content.pid);
    if (pid == ::getpid())
        return {};
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return {};
    const QByteArray self = programName();
    if (!self.isEmpty() && content.program == self && runsProgram(pid, self) == false)
        return {};
    return QStringLiteral("%1 is held by process %2").arg(path).arg(pid);
}

// The lock file at `path`, open for reading, if it is a regular file; a FIFO,
// a device, a socket, a directory or a link there is never opened.
struct LockFileLook
{
    int file = -1;
    struct stat status
    { };
    QString holder; // set when the path cannot be a lock to take over
};

LockFileLook openLockFile(const QString &path)
{
    LockFileLook look;
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &look.status) != 0)
        return look;
    if (!S_ISREG(look.status.st_mode)) {
        look.holder = QStringLiteral("%1 is not a regular file").arg(path);
        return look;
    }
    // Without following a link, and without waiting should the path have
    // become a FIFO since the look.
    look.file = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (look.file < 0) {
        if (errno != ENOENT)
            look.holder = QStringLiteral("%1 cannot be read").arg(path);
        return look;
    }
    struct stat opened
    { };
    if (::fstat(look.file, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(look.file);
        look.file = -1;
        look.holder = QStringLiteral("%1 is not a regular file").arg(path);
        return look;
    }
    look.status = opened;
    return look;
}

// Why the lock file in `look` keeps the device from being opened; empty when
// its holder is gone.
QString holderOf(const QString &path, const LockFileLook &look)
{
    std::array<char, lockFileReadLimit> bytes {};
    const ssize_t count = ::read(look.file, bytes.data(), bytes.size());
    if (count < 0)
        return QStringLiteral("%1 cannot be read").arg(path);
    const auto content = parseLockFile(QByteArrayView(bytes.data(), count));
    if (!content)
        return QStringLiteral("%1 names no holder").arg(path);
    return holderNamedIn(path, *content);
}

// Why the lock file at `path` keeps the device from being opened; empty when
// there is none, or its holder is gone.
QString lockFileHolder(const QString &path)
{
    const LockFileLook look = openLockFile(path);
    if (look.file < 0)
        return look.holder;
    QString holder = holderOf(path, look);
    ::close(look.file);
    return holder;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
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
            && (::lstat(QFile::encodeName(path).constData(), &status) == 0
                || ::access(encoded.constData(), W_OK) == 0))
            return path;
    }
    return {};
}

PortClaim::PortClaim(const QString &device)
{
    // Where other serial programs lock besides the directory this one uses.
    m_lockFile = lockFilePath(device);
    const QString name = lockFileName(device);
    QStringList others {QStringLiteral("/run/lock") + name, QStringLiteral("/var/lock") + name};
    others.removeAll(m_lockFile);
    for (const QString &path : std::as_const(others)) {
        m_holder = lockFileHolder(path);
        if (!m_holder.isEmpty())
            return;
    }
    if (!m_lockFile.isEmpty() && !takeLockFile())
        return;

    m_probe = ::open(QFile::encodeName(device).constData(),
                     O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_probe < 0) {
        // Any other failure is the open's to report.
        if (errno == EBUSY)
            m_holder = QStringLiteral("%1 is in exclusive use").arg(device);
    } else if (::flock(m_probe, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            m_holder = QStringLiteral("%1 is locked by another program").arg(device);
    } else {
        ::flock(m_probe, LOCK_UN);
#ifdef TIOCGEXCL
        // The exclusive-use flag keeps other users out; it does not stop root.
        int exclusive = 0;
        if (::ioctl(m_probe, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
            m_holder = QStringLiteral("%1 is in exclusive use").arg(device);
#endif
    }
    if (!m_holder.isEmpty())
        releaseLockFile();
}

PortClaim::~PortClaim()
{
    if (m_probe >= 0)
        ::close(m_probe);
    releaseLockFile();
}

bool PortClaim::takeLockFile()
{
    const QByteArray path = QFile::encodeName(m_lockFile);
    // A stale lock is removed and the creation tried again; should the path
    // keep changing under the claim, the device counts as held.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int file = ::open(
            path.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
        if (file >= 0) {
            // Held with flock() for as long as the claim lives: Qt's programs,
            // and other copies of this one, take a lock for stale only if they
            // can flock() it, so none of them removes it under the claim.
            ::flock(file, LOCK_EX | LOCK_NB);
            ::fchmod(file, 0644);
            const QByteArray text = lockFileText({qint64(::getpid()), programName(), hostName()});
            if (::write(file, text.constData(), std::size_t(text.size())) != text.size()) {
                ::unlink(path.constData());
                ::close(file);
                m_holder = QStringLiteral("%1 cannot be written").arg(m_lockFile);
                return false;
            }
            m_lock = file;
            return true;
        }
        if (errno != EEXIST) {
            m_holder = QStringLiteral("%1 cannot be created: %2")
                           .arg(m_lockFile, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }

        const LockFileLook look = openLockFile(m_lockFile);
        if (look.file < 0) {
            m_holder = look.holder;
            if (m_holder.isEmpty())
                continue; // gone meanwhile
            return false;
        }
        // A running program that holds its lock file with flock() (Qt's do,
        // and this one does) is alive whatever the file says.
        if (::flock(look.file, LOCK_EX | LOCK_NB) != 0) {
            m_holder = QStringLiteral("%1 is locked by a running program").arg(m_lockFile);
            ::close(look.file);
            return false;
        }
        m_holder = holderOf(m_lockFile, look);
        // Removed only while it is still the file that was judged stale.
        struct stat now
        { };
        if (m_holder.isEmpty() && ::lstat(path.constData(), &now) == 0 && sameFile(now, look.status)
            && ::unlink(path.constData()) != 0 && errno != ENOENT)
            m_holder = QStringLiteral("%1 is stale but cannot be removed: %2")
                           .arg(m_lockFile, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(look.file);
        if (!m_holder.isEmpty())
            return false;
    }
    m_holder = QStringLiteral("%1 keeps changing").arg(m_lockFile);
    return false;
}

void PortClaim::releaseLockFile()
{
    if (m_lock < 0)
        return;
    // Removed only while the path is still this claim's file.
    struct stat own
    { };
    struct stat now
    { };
    const QByteArray path = QFile::encodeName(m_lockFile);
    if (::fstat(m_lock, &own) == 0 && ::lstat(path.constData(), &now) == 0 && sameFile(own, now))
        ::unlink(path.constData());
    ::close(m_lock);
    m_lock = -1;
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
