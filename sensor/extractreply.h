#pragma once

#include <QString>

namespace quadrelink {

// The text shown when no answer came.
inline const QString noAnswer = QStringLiteral("XXXXXX");

// The sensor echoes each command line with its carriage return before it
// answers, so the answer is everything after the first carriage return of the
// received text, later carriage returns and line feeds included; without any
// carriage return there is no answer and the result is "XXXXXX".
[[nodiscard]] QString ExtractReply(const QString &received);

// How an answer is shown in a label: line ends at its end are not shown, and
// each CR LF, lone CR or lone LF inside it starts a new line, so "0523" and a
// carriage return reads "0523". Taken by value: an answer handed over as a
// temporary is trimmed in place instead of copied.
[[nodiscard]] QString displayText(QString answer);

} // namespace quadrelink
