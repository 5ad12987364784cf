#include "portmap.h"

namespace quadrelink {

QString windowsPortName(qint16 portNumber)
{
    constexpr int highestComNumber = 4096;
    if (portNumber < 1 || portNumber > highestComNumber)
        return {};
    return QStringLiteral("COM%1").arg(portNumber);
}

QString platformPortName(qint16 portNumber)
{
#ifdef Q_OS_WIN
    return windowsPortName(portNumber);
#else
    if (portNumber < 1)
        return {};
    constexpr int portsPerKind = 32;
    static constexpr const char *kinds[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const int zeroBased = portNumber - 1;
    const int kind = zeroBased / portsPerKind;
    if (kind >= int(std::size(kinds)))
        return {};
    return QLatin1String(kinds[kind]) + QString::number(zeroBased % portsPerKind);
#endif
}

PortMap portMapWith(qint16 portNumber, const QString &device)
{
    return [portNumber, device](qint16 number) {
        return number == portNumber ? device : platformPortName(number);
    };
}

} // namespace quadrelink
