#pragma once

#include <functional>

class QSerialPort;

namespace quadrelink::platform {

// Calls onHangUp from the event loop when the device behind the open `port`
// hangs up: a USB adapter pulled out, the far end of a pseudo-terminal closed.
// Some versions of QSerialPort report such a device as a read error, others
// read its zero bytes without a word and poll it again at full speed; this
// watch tells it the same way on all of them, whether the port is being used
// or sits idle. The watch ends when the port closes; each open needs its own.
//
// hangupwatch_unix.cpp, or hangupwatch_other.cpp where the port's driver
// reports a vanished device as an error of its own.
void watchForHangUp(QSerialPort &port, std::function<void()> onHangUp);

} // namespace quadrelink::platform
