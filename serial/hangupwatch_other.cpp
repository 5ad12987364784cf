// The hang-up watch where there are no POSIX terminals (Windows): there a
// device that goes away fails the port's pending read, which QSerialPort
// reports as an error, and the control closes the port on that error.

#include "hangupwatch.h"

namespace quadrelink::platform {

void watchForHangUp(QSerialPort &, std::function<void()>) { }

} // namespace quadrelink::platform
