#include "linesettings.h"

#include <QList>

#include <algorithm>
#include <array>

namespace quadrelink {

namespace {

// The baud rates of the control. 1.5 stop bits are not offered because the
// serial driver cannot produce them.
constexpr std::array<qint32, 16> knownBaudRates {110,   300,    600,    1200,  2400,  4800,
                                                 9600,  14400,  19200,  28800, 38400, 56000,
                                                 57600, 115200, 128000, 256000};

// Reads a field of decimal digits only: no sign, no spaces, no leading zero.
std::optional<qint32> decimalField(QStringView field)
{
    if (field.isEmpty() || field.size() > 9 || field.front() == u'0')
        return std::nullopt;
    qint32 value = 0;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<LineSettings::Parity> parityField(QStringView field)
{
    if (field.size() != 1)
        return std::nullopt;
    switch (field.front().toLower().unicode()) {
    case u'n':
        return LineSettings::Parity::None;
    case u'e':
        return LineSettings::Parity::Even;
    case u'o':
        return LineSettings::Parity::Odd;
    case u's':
        return LineSettings::Parity::Space;
    case u'm':
        return LineSettings::Parity::Mark;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<LineSettings> parseLineSettings(QStringView text)
{
    const QList<QStringView> fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    const auto baud = decimalField(fields[0]);
    const auto parity = parityField(fields[1]);
    const auto dataBits = decimalField(fields[2]);
    const auto stopBits = decimalField(fields[3]);
    if (!baud || !parity || !dataBits || !stopBits)
        return std::nullopt;
    if (std::ranges::find(knownBaudRates, *baud) == knownBaudRates.end())
        return std::nullopt;
    if (*dataBits < 5 || *dataBits > 8)
        return std::nullopt;
    if (*stopBits != 1 && *stopBits != 2)
        return std::nullopt;

    return LineSettings {*baud, *parity, *dataBits, *stopBits};
}

} // namespace quadrelink
