// quadrelink-demo: the real Quadrelink window with port 1 wired to a simulated
// sensor, so that it can be tried without hardware.
//
//   quadrelink-demo            serves a simulated sensor in this process
//   quadrelink-demo DEVICE     port 1 is DEVICE (e.g. the path quadrelink-sim printed)
//
// Every other port number reaches the platform's ports as in the program.

#include "app/runform1.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"
#include "simulatedsensor.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);

    QString device;
    std::unique_ptr<quadrelink::sim::SimulatedSensor> sensor;
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        device = arguments.at(1);
    } else {
        sensor = std::make_unique<quadrelink::sim::SimulatedSensor>();
        if (!sensor->start()) {
            std::fprintf(stderr, "quadrelink-demo: cannot start the simulated sensor: %s\n",
                         qPrintable(sensor->errorString()));
            return 1;
        }
        device = sensor->devicePath();
    }
    std::printf("Port 1 is %s\n", qPrintable(device));
    std::fflush(stdout);

    return quadrelink::runForm1(
        std::make_unique<quadrelink::SerialPortComm>(quadrelink::portMapWith(1, device)));
}
