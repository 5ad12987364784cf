#include "extractreply.h"

namespace quadrelink {

QString ExtractReply(const QString &received)
{
    const qsizetype carriageReturn = received.indexOf(QChar(u'\r'));
    if (carriageReturn < 0)
        return noAnswer;
    return received.mid(carriageReturn + 1);
}

QString displayText(QString answer)
{
    qsizetype end = answer.size();
    while (end > 0 && (answer.at(end - 1) == u'\r' || answer.at(end - 1) == u'\n'))
        --end;
    answer.truncate(end);
    // A distance has no line end inside: leave it untouched rather than search it twice.
    if (answer.contains(u'\r')) {
        answer.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        answer.replace(u'\r', u'\n');
    }
    return answer;
}

} // namespace quadrelink
