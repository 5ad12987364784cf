// quadrelink-soak: the real window (offscreen) polls a quadrelink-sim process
// for a given time and reports what an operator would have seen: queries
// sent, answers shown, "XXXXXX" shown, memory at start and end, CPU used.
//
//   quadrelink-soak SIM-BINARY [SECONDS]      (default 600 s)

#include "app/form1.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').front().toLongLong();
    return -1;
}

double cpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: quadrelink-soak SIM-BINARY [SECONDS]\n");
        return 2;
    }
    const int seconds = arguments.size() > 2 ? arguments.at(2).toInt() : 600;

    QTemporaryDir work;
    const QString link = work.filePath(QStringLiteral("port1"));
    const QString log = work.filePath(QStringLiteral("sensor.log"));
    QProcess sim;
    sim.start(arguments.at(1), {QStringLiteral("--link"), link, QStringLiteral("--log"), log});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "quadrelink-soak: the simulated sensor did not start\n");
        return 1;
    }

    quadrelink::Form1 window(
        std::make_unique<quadrelink::SerialPortComm>(quadrelink::portMapWith(1, link)));
    window.show();

    qint64 ticks = 0, answers = 0, missing = 0, other = 0;
    const QRegularExpression distance(QStringLiteral("^\\d{4}$"));
    QObject::connect(&window.timer(1), &quadrelink::FormTimer::Timer, [&] { ++ticks; });
    QObject::connect(&window.timer(3), &quadrelink::FormTimer::Timer, [&] {
        const QString shown = window.controls().Label2->text();
        if (distance.match(shown).hasMatch())
            ++answers;
        else if (shown == QStringLiteral("XXXXXX"))
            ++missing;
        else
            ++other;
    });

    const qint64 rssStart = statusKiB("VmRSS:");
    const double cpuStart = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    window.controls().Command1->click();
    QTimer::singleShot(seconds * 1000, &application, [&] {
        window.controls().Command2->click();
        QTimer::singleShot(300, &application, &QApplication::quit);
    });
    application.exec();

    const double cpu = cpuSeconds() - cpuStart;
    const double elapsed = double(clock.elapsed()) / 1000.0;
    const qint64 rssEnd = statusKiB("VmRSS:");
    window.close();
    sim.terminate();
    sim.waitForFinished();
    QFile logFile(log);
    qint64 received = 0;
    if (logFile.open(QIODevice::ReadOnly))
        received = logFile.readAll().count('\n');

    std::printf("soak: %.0f s of polling\n", elapsed);
    std::printf("  queries sent (ticks)        %lld\n", ticks);
    std::printf("  queries the sensor received %lld\n", received);
    std::printf("  answers shown               %lld\n", answers);
    std::printf("  XXXXXX shown                %lld\n", missing);
    std::printf("  anything else shown         %lld\n", other);
    std::printf("  RSS start / end             %lld KiB / %lld KiB (%+lld KiB)\n", rssStart, rssEnd,
                rssEnd - rssStart);
    std::printf("  VmHWM                       %lld KiB\n", statusKiB("VmHWM:"));
    std::printf("  CPU                         %.2f s (%.3f%% of one core)\n", cpu,
                100.0 * cpu / elapsed);
    return 0;
}
