#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace quadrelink {

// The line settings of the serial control, parsed from their text form.
struct LineSettings
{
    enum class Parity { None, Even, Odd, Space, Mark };

    qint32 baudRate = 1200;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// Parses "baud,parity,data bits,stop bits": exactly four fields joined by ","
// with no spaces; a baud rate the control knows, a parity letter n, e, o, s or m
// in either case, 5 to 8 data bits, 1 or 2 stop bits. Anything else is refused
// (std::nullopt). What is refused is decided here and never by whatever a device
// happens to accept, so the same text is refused on every port.
[[nodiscard]] std::optional<LineSettings> parseLineSettings(QStringView text);

} // namespace quadrelink
