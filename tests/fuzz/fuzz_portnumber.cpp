// Any port-number text: the conversion never crashes, and a number it accepts
// lies in 16 bits and is the nearest whole number to the text's value.

#include "serial/portmap.h"
#include "serial/settingsapply.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto port = quadrelink::parsePortNumber(text);
    if (!port)
        return 0;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || std::fabs(value - *port) > 0.5)
        std::abort();
    (void)quadrelink::platformPortName(*port);
    return 0;
}
