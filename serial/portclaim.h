#pragma once

#include <QString>

namespace quadrelink {

// A serial device is one program's at a time. Before the control opens a
// device it looks for another program's hold on it: a lock file in the places
// serial programs keep them, a flock() on the device, or the device's
// exclusive-use flag. A device that another live program holds is left alone
// (not opened, its holder's lock file not touched); an open device is locked
// with flock() too, so that programs that look only for that see it taken.
//
// The look never blocks and reads at most a few bytes: a lock path that is not
// a regular file (a FIFO, a device, a socket, a directory, a symbolic link)
// counts as a hold without being opened, since anyone may plant one there.
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

    // Why the device must not be opened now; empty when nothing holds it.
    [[nodiscard]] const QString &holder() const { return m_holder; }

    // After the open, on the control's own descriptor: takes the device's
    // flock(). False when another program took it in the meantime.
    [[nodiscard]] bool lockOpenDevice(qintptr descriptor);

    // Where Qt SerialPort keeps the lock file of `device`: the first of its
    // lock directories that is readable and either holds the file already or
    // is writable. Empty where there are no lock files.
    [[nodiscard]] static QString lockFilePath(const QString &device);

private:
    QString m_holder;
    [[maybe_unused]] int m_probe = -1; // the device, open for the look (Unix)
};

} // namespace quadrelink
