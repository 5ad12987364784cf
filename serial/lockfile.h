#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace quadrelink {

// What a serial lock file (`LCK..<device>`) says about its holder.
struct LockContent
{
    qint64 pid = 0;
    QByteArray program; // empty when the format names none
    QByteArray host; // empty when the format names none

    friend bool operator==(const LockContent &, const LockContent &) = default;
};

// The most a lock file is read: the process number, the program's and the
// host's names fit many times over.
inline constexpr qsizetype lockFileReadLimit = 512;

// Reads the holder from the first bytes of a lock file, in each format serial
// programs write: ASCII digits on the first line, padded or not (HDB/UUCP's
// "%10d\n"; Qt's "pid\nprogram\nhost\n…"), or the process number as a binary
// int (old UUCP). Anything else, or a process number outside 1..INT_MAX, is
// unreadable. The bytes come from a directory every user may write to.
[[nodiscard]] std::optional<LockContent> parseLockFile(QByteArrayView bytes);

// The lock this program writes: the process number padded as HDB/UUCP readers
// expect it, then the program's and the host's names as Qt's readers expect
// them.
[[nodiscard]] QByteArray lockFileText(const LockContent &content);

} // namespace quadrelink
