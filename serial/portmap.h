#pragma once

#include <QString>

#include <functional>

namespace quadrelink {

// Turns a port number into the device name the serial control opens; an empty
// name means no device, and the open then simply fails. Injected into the
// control, so tests and the demo wire port numbers to devices of their own.
using PortMap = std::function<QString(qint16 portNumber)>;

// The platform's ports. On Linux 1–32 are /dev/ttyS0–31, 33–64 /dev/ttyUSB0–31
// and 65–96 /dev/ttyACM0–31, so that a USB serial adapter needs no set-up; on
// Windows port n is COMn.
[[nodiscard]] QString platformPortName(qint16 portNumber);

// Windows' name of port n: COMn for 1 to 4096, the most COM numbers Windows'
// port database hands out; no device otherwise.
[[nodiscard]] QString windowsPortName(qint16 portNumber);

// A map that sends one port number to the given device and every other to the
// platform's ports.
[[nodiscard]] PortMap portMapWith(qint16 portNumber, const QString &device);

} // namespace quadrelink
