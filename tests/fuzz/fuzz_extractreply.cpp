// Any received text: the answer is the text after the first carriage return,
// unchanged, or "XXXXXX"; its display form never grows beyond it.

#include "sensor/extractreply.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString received
        = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString answer = quadrelink::ExtractReply(received);
    const qsizetype cr = received.indexOf(u'\r');
    if (cr < 0 ? answer != quadrelink::noAnswer : answer != received.mid(cr + 1))
        std::abort();
    if (quadrelink::displayText(answer).size() > answer.size())
        std::abort();
    return 0;
}
