// Any settings text: parsing never crashes, and whatever is accepted names a
// rate, parity, data bits and stop bits the control can set, and reads back
// the same when written in the canonical form.

#include "serial/linesettings.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto parsed = quadrelink::parseLineSettings(text);
    if (!parsed)
        return 0;
    if (parsed->dataBits < 5 || parsed->dataBits > 8
        || (parsed->stopBits != 1 && parsed->stopBits != 2) || parsed->baudRate < 110)
        std::abort();
    static constexpr char letters[] = "neosm";
    const QString canonical = QStringLiteral("%1,%2,%3,%4")
                                  .arg(parsed->baudRate)
                                  .arg(QChar::fromLatin1(letters[int(parsed->parity)]))
                                  .arg(parsed->dataBits)
                                  .arg(parsed->stopBits);
    if (quadrelink::parseLineSettings(canonical) != parsed)
        std::abort();
    return 0;
}
