#include "settingsapply.h"

#include "commerror.h"
#include "mscomm.h"

#include <QRegularExpression>

#include <cmath>
#include <iterator>

namespace quadrelink {

std::optional<qint16> parsePortNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*([+-]?(?:\d+(?:\.\d*)?|\.\d+))\s*$)"));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    // nearbyint in the default rounding mode rounds halves to the even
    // neighbour.
    const double whole = std::nearbyint(value);
    if (whole < -32768.0 || whole > 32767.0)
        return std::nullopt;
    return qint16(whole);
}

bool applySettingsTexts(MSComm &comm, const SettingsTexts &texts)
{
    bool refused = false;
    if (const auto port = parsePortNumber(texts.front()))
        refused = !runSuppressed([&] { comm.setCommPort(*port); });
    else
        refused = true;

    const QString settings = QStringList(std::next(texts.begin()), texts.end()).join(u',');
    if (!runSuppressed([&] { comm.setSettings(settings); }))
        refused = true;
    return refused;
}

} // namespace quadrelink
