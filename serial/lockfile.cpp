#include "lockfile.h"

#include <QList>

#include <climits>
#include <cstring>

namespace quadrelink {

std::optional<LockContent> parseLockFile(QByteArrayView bytes)
{
    const QList<QByteArrayView> lines = [&] {
        QList<QByteArrayView> parts;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= bytes.size() && parts.size() < 3; ++i) {
            if (i == bytes.size() || bytes[i] == '\n') {
                parts.append(bytes.sliced(start, i - start));
                start = i + 1;
            }
        }
        return parts;
    }();
    bool ok = false;
    const qint64 pid = lines.constFirst().trimmed().toLongLong(&ok);
    if (ok && pid > 0 && pid <= INT_MAX) {
        LockContent content {pid, {}, {}};
        if (lines.size() > 1)
            content.program = lines[1].trimmed().toByteArray();
        if (lines.size() > 2)
            content.host = lines[2].trimmed().toByteArray();
        return content;
    }
    if (bytes.size() == qsizetype(sizeof(int))) {
        int binary = 0;
        std::memcpy(&binary, bytes.data(), sizeof binary);
        if (binary > 0)
            return LockContent {binary, {}, {}};
    }
    return std::nullopt;
}

QByteArray lockFileText(const LockContent &content)
{
    return QByteArray::number(content.pid).rightJustified(10, ' ') + '\n' + content.program + '\n'
        + content.host + '\n';
}

} // namespace quadrelink
