// quadrelink-sim: a simulated distance sensor on a pseudo-terminal, for trying the
// program and its tests without hardware. Prints the port to open, then serves
// until interrupted or until --hang-up-after has passed.

#include "simulatedsensor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <optional>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

using quadrelink::sim::FileDescriptor;
using quadrelink::sim::SimulatedSensor;

namespace {

// SIGINT, SIGTERM and SIGHUP arrive as readable events instead of interrupting
// whatever runs, so the sensor is destroyed normally and removes its link. Must be
// called before any thread starts, so that every thread keeps them blocked.
[[nodiscard]] FileDescriptor stopSignals()
{
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &stopping, nullptr) < 0)
        return FileDescriptor();
    return FileDescriptor(signalfd(-1, &stopping, SFD_CLOEXEC | SFD_NONBLOCK));
}

[[nodiscard]] std::optional<int> nonNegative(const QCommandLineParser &parser,
                                             const QCommandLineOption &option)
{
    if (!parser.isSet(option))
        return 0;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < 0) {
        std::fprintf(stderr, "quadrelink-sim: --%s needs a whole number of 0 or more\n",
                     qPrintable(option.names().constFirst()));
        return std::nullopt;
    }
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    const FileDescriptor signalFd = stopSignals();

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quadrelink-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated UC1000-30GM-IUR2-K-V15 distance sensor on a pseudo-terminal.\n"
                       "Prints the port to open, then answers \"ad\" and \"ID\" until stopped."));
    parser.addHelpOption();
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Send at this line rate (0: unpaced)."),
                                  QStringLiteral("N"));
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Wait this long between echo and answer."),
                                     QStringLiteral("MS"));
    const QCommandLineOption distance(
        QStringLiteral("distance"),
        QStringLiteral("Answer every \"ad\" with this distance instead of a drifting one."),
        QStringLiteral("MM"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Neither echo nor answer commands."));
    const QCommandLineOption noCr(QStringLiteral("no-cr"),
                                  QStringLiteral("Leave the CR off every answer."));
    const QCommandLineOption random(QStringLiteral("random"),
                                    QStringLiteral("Answer with random bytes."));
    const QCommandLineOption flood(
        QStringLiteral("flood"),
        QStringLiteral("Send answers continuously while the port is open."));
    const QCommandLineOption hangUpAfter(
        QStringLiteral("hang-up-after"),
        QStringLiteral("Close the sensor's side after MS and exit."), QStringLiteral("MS"));
    const QCommandLineOption log(
        QStringLiteral("log"), QStringLiteral("Write each received command, timestamped, to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Make PATH a symbolic link to the port."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Start the distance drift from seed N."),
                                  QStringLiteral("N"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Report the program's commands and opens on stderr."));
    parser.addOptions({baud, latency, distance, silent, noCr, random, flood, hangUpAfter, log, link,
                       seed, verbose});
    parser.process(app);

    const auto baudValue = nonNegative(parser, baud);
    const auto latencyValue = nonNegative(parser, latency);
    const auto hangUpValue = nonNegative(parser, hangUpAfter);
    const auto distanceValue = nonNegative(parser, distance);
    const auto seedValue = parser.isSet(seed) ? nonNegative(parser, seed) : std::optional(1);
    if (!baudValue || !latencyValue || !hangUpValue || !distanceValue || !seedValue)
        return 2;

    SimulatedSensor::Options options;
    options.baud = *baudValue;
    options.replyLatency = std::chrono::milliseconds(*latencyValue);
    options.silent = parser.isSet(silent);
    options.noCarriageReturn = parser.isSet(noCr);
    options.randomBytes = parser.isSet(random);
    options.distance = *distanceValue;
    options.flood = parser.isSet(flood);
    options.hangUpAfter = std::chrono::milliseconds(*hangUpValue);
    options.logPath = parser.value(log);
    options.linkPath = parser.value(link);
    options.seed = static_cast<quint32>(*seedValue);

    SimulatedSensor sensor(options);
    QObject::connect(&sensor, &SimulatedSensor::hungUp, &app, &QCoreApplication::quit);
    // The line settings are reported when the port opens and whenever a command
    // finds them changed, so that a run shows what the program set.
    SimulatedSensor::LineView reported;
    if (parser.isSet(verbose)) {
        const auto reportLine = [&sensor, &reported](const char *event) {
            reported = sensor.lineView();
            std::fprintf(stderr, "%s: %s\n", event,
                         qPrintable(SimulatedSensor::describe(reported)));
        };
        QObject::connect(&sensor, &SimulatedSensor::peerOpened,
                         [reportLine] { reportLine("port opened"); });
        QObject::connect(&sensor, &SimulatedSensor::peerClosed,
                         [] { std::fputs("port closed\n", stderr); });
        QObject::connect(&sensor, &SimulatedSensor::lineReceived,
                         [&sensor, &reported, reportLine](const QByteArray &line) {
                             if (!(sensor.lineView() == reported))
                                 reportLine("line settings");
                             std::fprintf(stderr, "received %s\n",
                                          line.toPercentEncoding(" ").constData());
                         });
    }
    if (!sensor.start()) {
        std::fprintf(stderr, "quadrelink-sim: %s\n", qPrintable(sensor.errorString()));
        return 1;
    }

    QSocketNotifier signalNotifier(QSocketNotifier::Read);
    if (signalFd.isValid()) {
        signalNotifier.setSocket(signalFd.get());
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&signalFd] {
            signalfd_siginfo info {};
            if (read(signalFd.get(), &info, sizeof info) > 0)
                QCoreApplication::quit();
        });
        signalNotifier.setEnabled(true);
    }

    std::printf("%s\n", qPrintable(sensor.devicePath()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
