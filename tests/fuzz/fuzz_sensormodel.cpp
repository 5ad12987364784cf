// Any bytes sent to the simulated sensor, in any chunks: it never crashes,
// echoes every completed line with its carriage return, and never holds more
// than one line's worth of unterminated input.

#include "sensormodel.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    using quadrelink::sim::SensorModel;
    // The first byte picks the knobs and the chunk size, the rest is the line.
    const uint8_t knobs = data[0];
    SensorModel model(knobs, {bool(knobs & 1), bool(knobs & 2), bool(knobs & 4)});
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype chunk = 1 + (knobs >> 3);
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        for (const auto &exchange :
             model.receive(bytes.sliced(at, std::min(chunk, bytes.size() - at)))) {
            const bool silent = knobs & 1;
            if (silent ? !exchange.echo.isEmpty() : exchange.echo != exchange.line + '\r')
                std::abort();
            if (exchange.line.contains('\r') || exchange.line.size() > SensorModel::maxLineLength)
                std::abort();
        }
        if (model.pendingLineLength() > SensorModel::maxLineLength)
            std::abort();
    }
    return 0;
}
