#pragma once

#include <QString>

namespace quadrelink {

// A serial device is one program's at a time. Before the control opens a
// device it claims it: it looks for another program's hold on it (a lock file
// in the places serial programs keep them, a flock() on the device, the
// device's exclusive-use flag) and takes the device's standard lock file
// `LCK..<device>` itself, for as long as the claim lives. A device that
// another live program holds is left alone: not opened, its holder's lock file
// not touched, whoever runs this program.
//
// A lock file is another program's hold unless it is stale: its process has
// ended, or it names this program and the live process with its number is
// another program (a process number reused after a crash or a reboot). A stale
// lock is taken over; a live one is never removed or replaced.
//
// Every user may write to the lock directory, so nothing there is trusted:
// the lock is created exclusively, no link is followed, a path that is not a
// regular file is never opened, and a lock file is read once, a few hundred
// bytes at most. Nothing in the claim can block.
//
// Between the look and the open the device is kept open for a look only, so
// that the line's modem signals are raised once, by the open, and not dropped
// in between.
class PortClaim final
{
public:
    explicit PortClaim(const QString &device);
    ~PortClaim();
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;

    // Why the device must not be opened now; empty when it is this claim's.
    [[nodiscard]] const QString &holder() const { return m_holder; }

    // The lock file the claim holds; empty where there are no lock files.
    [[nodiscard]] QString lockFile() const { return m_lock >= 0 ? m_lockFile : QString(); }

    // After the open, on the control's own descriptor: takes the device's
    // flock(). False when another program took it in the meantime.
    [[nodiscard]] bool lockOpenDevice(qintptr descriptor);

    // Where serial programs keep the lock file of `device`: the first of the
    // usual lock directories that is readable and either holds the file
    // already or is writable. Empty where there are no lock files.
    [[nodiscard]] static QString lockFilePath(const QString &device);

private:
    bool takeLockFile();
    void releaseLockFile();

    QString m_holder;
    QString m_lockFile;
    int m_lock = -1; // the lock file, flock()ed while held (Unix)
    [[maybe_unused]] int m_probe = -1; // the device, open for the look (Unix)
};

} // namespace quadrelink
