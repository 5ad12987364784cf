// quadrelink-screenshot: a picture of the real window reading a simulated
// sensor, drawn by Qt itself (any platform plugin, offscreen included), for the
// README. With --dark the desktop's scheme is a dark one, to show that the
// readouts stay readable there.
//
//   quadrelink-screenshot OUTPUT.png [--dark]

#include "app/form1.h"
#include "darkscheme.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"
#include "simulatedsensor.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: quadrelink-screenshot OUTPUT.png [--dark]\n");
        return 2;
    }
    if (arguments.contains(QStringLiteral("--dark")))
        QApplication::setPalette(darkScheme());

    quadrelink::sim::SimulatedSensor sensor;
    if (!sensor.start()) {
        std::fprintf(stderr, "cannot start the simulated sensor: %s\n",
                     qPrintable(sensor.errorString()));
        return 1;
    }
    quadrelink::Form1 window(std::make_unique<quadrelink::SerialPortComm>(
        quadrelink::portMapWith(1, sensor.devicePath())));
    window.show();
    window.controls().Command1->click();
    // A few polling cycles, so that the readout shows a distance; the picture is
    // taken between a tick's answer and the next tick's blank.
    QTimer::singleShot(2120, &application, [&] {
        const bool saved = window.grab().save(arguments.at(1));
        QApplication::exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
