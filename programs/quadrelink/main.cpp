// Quadrelink: reads a distance sensor over a serial port. The program has no
// command line and keeps no settings: every run starts from the window's
// design-time values.

#include "app/runform1.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quadrelink.Quadrelink"));
    return quadrelink::runForm1(
        std::make_unique<quadrelink::SerialPortComm>(&quadrelink::platformPortName));
}
