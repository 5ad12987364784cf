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
using namespace Qt::StringLiterals;

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
                                             const QString &option)
{
    if (!parser.isSet(option))
        return 0;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < 0) {
        std::fprintf(stderr, "quadrelink-sim: --%s needs a whole number of 0 or more\n",
                     qPrintable(option));
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
    // The options, each with what it does and the name of its value (none: a switch).
    parser.addOptions({
        {u"baud"_s, u"Send at this line rate (0: unpaced)."_s, u"N"_s},
        {u"latency"_s, u"Wait this long between echo and answer."_s, u"MS"_s},
        {u"distance"_s, u"Answer every \"ad\" with this distance instead of a drifting one."_s,
         u"MM"_s},
        {u"silent"_s, u"Neither echo nor answer commands."_s},
        {u"no-cr"_s, u"Leave the CR off every answer."_s},
        {u"random"_s, u"Answer with random bytes."_s},
        {u"flood"_s, u"Send answers continuously while the port is open."_s},
        {u"hang-up-after"_s, u"Close the sensor's side after MS and exit."_s, u"MS"_s},
        {u"log"_s, u"Write each received command, timestamped, to FILE."_s, u"FILE"_s},
        {u"link"_s, u"Make PATH a symbolic link to the port."_s, u"PATH"_s},
        {u"seed"_s, u"Start the distance drift from seed N."_s, u"N"_s},
        {u"verbose"_s, u"Report the program's commands and opens on stderr."_s},
    });
    parser.process(app);

    const auto baudValue = nonNegative(parser, u"baud"_s);
    const auto latencyValue = nonNegative(parser, u"latency"_s);
    const auto hangUpValue = nonNegative(parser, u"hang-up-after"_s);
    const auto distanceValue = nonNegative(parser, u"distance"_s);
    const auto seedValue
        = parser.isSet(u"seed"_s) ? nonNegative(parser, u"seed"_s) : std::optional(1);
    if (!baudValue || !latencyValue || !hangUpValue || !distanceValue || !seedValue)
        return 2;

    SimulatedSensor::Options options;
    options.baud = *baudValue;
    options.replyLatency = std::chrono::milliseconds(*latencyValue);
    options.silent = parser.isSet(u"silent"_s);
    options.noCarriageReturn = parser.isSet(u"no-cr"_s);
    options.randomBytes = parser.isSet(u"random"_s);
    options.distance = *distanceValue;
    options.flood = parser.isSet(u"flood"_s);
    options.hangUpAfter = std::chrono::milliseconds(*hangUpValue);
    options.logPath = parser.value(u"log"_s);
    options.linkPath = parser.value(u"link"_s);
    options.seed = static_cast<quint32>(*seedValue);

    SimulatedSensor sensor(options);
    QObject::connect(&sensor, &SimulatedSensor::hungUp, &app, &QCoreApplication::quit);
    // The line settings are reported when the port opens and whenever a command
    // finds them changed, so that a run shows what the program set.
    SimulatedSensor::LineView reported;
    if (parser.isSet(u"verbose"_s)) {
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
