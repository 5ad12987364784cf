#include "extractreply.h"

namespace quadrelink {

QString ExtractReply(const QString &received)
{
    const qsizetype carriageReturn = received.indexOf(QChar(u'\r'));
    if (carriageReturn < 0)
        return noAnswer;
    return received.mid(carriageReturn + 1);
}

QString displayText(const QString &answer)
{
    qsizetype end = answer.size();
    while (end > 0 && (answer[end - 1] == u'\r' || answer[end - 1] == u'\n'))
        --end;
    QString shown = answer.left(end);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

} // namespace quadrelink
