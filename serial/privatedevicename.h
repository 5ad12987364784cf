#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace quadrelink {

// A name for a device that no other user can know or reach: a link to it with
// a random name, in a directory only this user may enter, for as long as the
// object lives.
//
// Qt SerialPort takes a lock file of its own named after the device name it is
// given, in the lock directory every user may write to, and reads whatever it
// finds there in a way that can block or never end (a FIFO, a link to
// /dev/zero) and takes live locks of other programs for stale. Opened under
// this name, Qt's lock file is one nobody can plant beforehand, so Qt always
// creates it anew and never reads one; the device's standard lock is
// PortClaim's.
class PrivateDeviceName final
{
public:
    explicit PrivateDeviceName(const QString &device);
    ~PrivateDeviceName();
    PrivateDeviceName(const PrivateDeviceName &) = delete;
    PrivateDeviceName &operator=(const PrivateDeviceName &) = delete;

    // The name to open; the device itself where no private name can be made
    // or none is needed.
    [[nodiscard]] const QString &path() const { return m_path; }

private:
    std::unique_ptr<QTemporaryDir> m_directory; // the link's, removed with it
    QString m_path;
};

} // namespace quadrelink
