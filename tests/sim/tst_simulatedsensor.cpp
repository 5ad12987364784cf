#include "simulatedsensor.h"
#include "testhelpers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <poll.h>

using namespace std::chrono_literals;
using quadrelink::sim::FileDescriptor;
using quadrelink::sim::SimulatedSensor;

namespace {

// Generous: two loaded cores may hold up the event loop now and then.
constexpr int timeoutMs = 5000;

// The program's end of the line, as a plain non-blocking descriptor.
class Peer final
{
public:
    explicit Peer(const QString &path)
        : m_fd(::open(qPrintable(path), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    { }
    [[nodiscard]] int fd() const { return m_fd.get(); }
    [[nodiscard]] bool write(QByteArrayView bytes)
    {
        return ::write(fd(), bytes.data(), bytes.size()) == bytes.size();
    }
    [[nodiscard]] QByteArray readAvailable()
    {
        QByteArray bytes;
        char buffer[4096];
        for (ssize_t count; (count = ::read(fd(), buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, count);
        return bytes;
    }
    // Serves the event loop, and so the sensor, until `count` bytes have arrived.
    [[nodiscard]] QByteArray readAtLeast(qsizetype count)
    {
        QByteArray bytes;
        (void)QTest::qWaitFor([&] { return (bytes += readAvailable()).size() >= count; },
                              timeoutMs);
        return bytes;
    }

private:
    FileDescriptor m_fd;
};

// '#' in the shape stands for any decimal digit.
bool hasShape(const QByteArray &bytes, const QByteArray &shape)
{
    return bytes.size() == shape.size()
        && std::equal(bytes.begin(), bytes.end(), shape.begin(), [](char byte, char expected) {
               return expected == '#' ? (byte >= '0' && byte <= '9') : byte == expected;
           });
}

} // namespace

class tst_SimulatedSensor : public QObject
{
    Q_OBJECT

private slots:
    void everyByteValuePassesUnchanged();
    void peerOpensAndCloses();
    void nextPeerStartsClean_data();
    void nextPeerStartsClean();
    void replyTiming_data();
    void replyTiming();
    void hangUpAfter();
    void idleCostsNoCpu_data();
    void idleCostsNoCpu();
    void floodKeepsRepliesWhole();
    void noBytesLostToSlowReader();
    void logsReceivedLines();
    void logLineFormat_data();
    void logLineFormat();
    void link_data();
    void link();
};

void tst_SimulatedSensor::everyByteValuePassesUnchanged()
{
    // Only a raw terminal leaves CR, LF and the rest alone in both directions.
    SimulatedSensor sensor;
    QVERIFY2(sensor.start(), qPrintable(sensor.errorString()));
    Peer peer(sensor.devicePath());
    const QByteArray command("\0\x01\n\x7f\x80\xff\r", 7);
    QVERIFY(peer.write(command));
    QCOMPARE(peer.readAtLeast(11), command + "E01\r");
}

void tst_SimulatedSensor::peerOpensAndCloses()
{
    SimulatedSensor sensor;
    QSignalSpy opened(&sensor, &SimulatedSensor::peerOpened);
    QSignalSpy closed(&sensor, &SimulatedSensor::peerClosed);
    QVERIFY(sensor.start());

    // A second session must work like the first.
    for (int session = 1; session <= 2; ++session) {
        auto peer = std::make_unique<Peer>(sensor.devicePath());
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), session, timeoutMs);
        QVERIFY(sensor.isPeerOpen());
        QCOMPARE(closed.size(), session - 1);
        QVERIFY(peer->write("ad\r"));
        QVERIFY(hasShape(peer->readAtLeast(8), "ad\r####\r"));

        peer.reset();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), session, timeoutMs);
        QVERIFY(!sensor.isPeerOpen());
    }
}

void tst_SimulatedSensor::nextPeerStartsClean_data()
{
    QTest::addColumn<bool>("sensorSawItOpen");
    QTest::newRow("program closes with replies pending") << true;
    QTest::newRow("program comes and goes between two looks") << false;
}

void tst_SimulatedSensor::nextPeerStartsClean()
{
    QFETCH(bool, sensorSawItOpen);

    SimulatedSensor::Options options;
    options.replyLatency = 100ms;
    SimulatedSensor sensor(options);
    QSignalSpy opened(&sensor, &SimulatedSensor::peerOpened);
    QSignalSpy closed(&sensor, &SimulatedSensor::peerClosed);
    QVERIFY(sensor.start());
    {
        // Leaves an echo unread, an answer pending and half a command behind.
        Peer first(sensor.devicePath());
        QVERIFY(first.write("ID\rad"));
        if (sensorSawItOpen)
            QTRY_COMPARE_WITH_TIMEOUT(sensor.receivedLineCount(), 1, timeoutMs);
    }
    QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, timeoutMs);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(sensor.receivedLineCount(), 1);

    // The error for an empty line shows the half command was forgotten.
    Peer second(sensor.devicePath());
    QVERIFY(second.write("\r"));
    QCOMPARE(second.readAtLeast(5), QByteArray("\rE01\r"));
}

void tst_SimulatedSensor::replyTiming_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<int>("minimumMs");

    // "ad\r####\r" is 8 characters: 67 ms at 1200 baud.
    QTest::newRow("1200 baud") << 1200 << 0 << 50;
    QTest::newRow("unpaced with 150 ms latency") << 0 << 150 << 140;
    QTest::newRow("1200 baud with 100 ms latency") << 1200 << 100 << 150;
}

void tst_SimulatedSensor::replyTiming()
{
    QFETCH(int, baud);
    QFETCH(int, latencyMs);
    QFETCH(int, minimumMs);

    SimulatedSensor::Options options;
    options.baud = baud;
    options.replyLatency = std::chrono::milliseconds(latencyMs);
    SimulatedSensor sensor(options);
    QVERIFY(sensor.start());
    Peer peer(sensor.devicePath());
    QTRY_VERIFY_WITH_TIMEOUT(sensor.isPeerOpen(), timeoutMs);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(peer.write("ad\r"));
    QByteArray reply = peer.readAtLeast(3);
    const qint64 echoMs = clock.elapsed();
    reply += peer.readAtLeast(8 - reply.size());
    const qint64 replyMs = clock.elapsed();

    QVERIFY2(hasShape(reply, "ad\r####\r"), reply.constData());
    QVERIFY2(replyMs >= minimumMs && replyMs < 3000, QByteArray::number(replyMs));
    // The answer follows the echo instead of coming with it.
    QVERIFY2(replyMs - echoMs >= minimumMs / 2, QByteArray::number(echoMs));
}

void tst_SimulatedSensor::hangUpAfter()
{
    SimulatedSensor::Options options;
    options.hangUpAfter = 300ms;
    SimulatedSensor sensor(options);
    QSignalSpy hungUp(&sensor, &SimulatedSensor::hungUp);
    QVERIFY(sensor.start());
    const QString path = sensor.devicePath();
    Peer peer(path);
    QVERIFY(peer.write("ad\r"));
    QVERIFY(hasShape(peer.readAtLeast(8), "ad\r####\r"));

    QVERIFY(hungUp.wait(timeoutMs));
    // The program's end reads end-of-file, cannot write, and the port is gone.
    pollfd request {peer.fd(), POLLIN, 0};
    QCOMPARE(::poll(&request, 1, 0), 1);
    QVERIFY(request.revents & POLLHUP);
    char byte;
    QCOMPARE(::read(peer.fd(), &byte, 1), 0);
    QVERIFY(!peer.write("ad\r"));
    QCOMPARE(errno, EIO);
    QVERIFY(!QFileInfo::exists(path));
}

void tst_SimulatedSensor::idleCostsNoCpu_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("before any program opened the port") << "never opened";
    QTest::newRow("after the program closed the port") << "closed";
    QTest::newRow("program holds the port but sends nothing") << "open";
    QTest::newRow("flooding a program that does not read") << "flood";
}

void tst_SimulatedSensor::idleCostsNoCpu()
{
    QFETCH(QString, situation);

    SimulatedSensor::Options options;
    options.flood = situation == "flood";
    SimulatedSensor sensor(options);
    QSignalSpy opened(&sensor, &SimulatedSensor::peerOpened);
    QVERIFY(sensor.start());
    std::unique_ptr<Peer> peer;
    if (situation != "never opened") {
        peer = std::make_unique<Peer>(sensor.devicePath());
        QVERIFY(opened.wait(timeoutMs));
    }
    if (situation == "closed") {
        peer.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!sensor.isPeerOpen(), timeoutMs);
    }
    if (situation == "flood")
        QTRY_VERIFY_WITH_TIMEOUT(sensor.bytesSent() > 1000, timeoutMs);

    // A measuring window, not a wait for something to happen.
    const double before = cpuSeconds();
    idle(1000);
    const double used = cpuSeconds() - before;
    QVERIFY2(used < 0.1, QByteArray::number(used));

    // Still awake: a program arriving now is noticed.
    if (!peer) {
        Peer late(sensor.devicePath());
        QTRY_VERIFY_WITH_TIMEOUT(sensor.isPeerOpen(), timeoutMs);
    }
}

void tst_SimulatedSensor::floodKeepsRepliesWhole()
{
    SimulatedSensor::Options options;
    options.flood = true;
    SimulatedSensor sensor(options);
    QVERIFY(sensor.start());
    Peer peer(sensor.devicePath());

    // Flooding starts when the port is opened, before any command.
    QByteArray stream = peer.readAtLeast(20000);
    QVERIFY(stream.size() >= 20000);
    QVERIFY(peer.write("ID\r"));
    const QByteArray identity = "ID\rUC1000-30GM-IUR2-K-V15\r";
    QVERIFY(QTest::qWaitFor([&] { return (stream += peer.readAvailable()).contains(identity); },
                            timeoutMs));

    // Apart from the reply to ID, nothing but whole distance answers.
    stream.replace(identity, "");
    const auto answers = stream.left(stream.lastIndexOf('\r')).split('\r');
    for (const auto &answer : answers)
        QVERIFY2(hasShape(answer, "####"), answer.constData());
}

void tst_SimulatedSensor::noBytesLostToSlowReader()
{
    // Far more reply than the terminal buffers: the sensor must hold back, not drop.
    constexpr int commands = 6000;
    const QByteArray identity = "ID\rUC1000-30GM-IUR2-K-V15\r";
    SimulatedSensor sensor;
    QVERIFY(sensor.start());
    Peer peer(sensor.devicePath());

    QByteArray toSend = QByteArray("ID\r").repeated(commands);
    QByteArray received;
    const bool done = QTest::qWaitFor(
        [&] {
            const ssize_t written = ::write(peer.fd(), toSend.constData(), toSend.size());
            if (written > 0)
                toSend.remove(0, written);
            // Read only when the sensor takes no more commands, so its queue fills up.
            if (written <= 0)
                received += peer.readAvailable();
            return received.size() >= identity.size() * commands;
        },
        15000);
    QVERIFY2(done, QByteArray::number(received.size()));
    QCOMPARE(received, identity.repeated(commands));
}

void tst_SimulatedSensor::logsReceivedLines()
{
    QTemporaryDir dir;
    SimulatedSensor::Options options;
    options.logPath = dir.filePath("sensor.log");
    SimulatedSensor sensor(options);
    QSignalSpy received(&sensor, &SimulatedSensor::lineReceived);
    QVERIFY(sensor.start());
    Peer peer(sensor.devicePath());

    QVERIFY(peer.write("ad\rID\r"));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, timeoutMs);
    QCOMPARE(received[1].constFirst().toByteArray(), QByteArray("ID"));
    const auto lines = sensor.receivedLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].line, QByteArray("ad"));
    QVERIFY(lines[0].timestamp <= lines[1].timestamp);

    // Written as it goes: complete while the sensor still runs.
    QFile log(options.logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(),
             SimulatedSensor::logLine(lines[0].timestamp, "ad")
                 + SimulatedSensor::logLine(lines[1].timestamp, "ID"));
}

void tst_SimulatedSensor::logLineFormat_data()
{
    QTest::addColumn<qint64>("microseconds");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("fraction keeps its leading zeros")
        << qint64(12345005) << QByteArray("ad") << QByteArray("12345.005 ad\n");
    QTest::newRow("under a millisecond")
        << qint64(7) << QByteArray("ID") << QByteArray("0.007 ID\n");
    QTest::newRow("control and high bytes as hex")
        << qint64(1000) << QByteArray("\0\n\xff", 3) << QByteArray("1.000 \\x00\\x0a\\xff\n");
    QTest::newRow("backslash is doubled")
        << qint64(1000) << QByteArray("a\\x41") << QByteArray("1.000 a\\\\x41\n");
}

void tst_SimulatedSensor::logLineFormat()
{
    QFETCH(qint64, microseconds);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, logged);
    QCOMPARE(SimulatedSensor::logLine(std::chrono::microseconds(microseconds), line), logged);
}

void tst_SimulatedSensor::link_data()
{
    QTest::addColumn<QString>("leftover");
    QTest::newRow("fresh path") << QString();
    QTest::newRow("link left by a killed run is replaced") << "link";
    QTest::newRow("regular file is not overwritten") << "file";
}

void tst_SimulatedSensor::link()
{
    QFETCH(QString, leftover);

    QTemporaryDir dir;
    SimulatedSensor::Options options;
    options.linkPath = dir.filePath("sensor");
    QFile file(options.linkPath);
    if (leftover == "link")
        QVERIFY(QFile::link("/dev/pts/gone", options.linkPath));
    if (leftover == "file")
        QVERIFY(file.open(QIODevice::WriteOnly));
    {
        SimulatedSensor sensor(options);
        QCOMPARE(sensor.start(), leftover != "file");
        if (leftover != "file")
            QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), sensor.devicePath());
    }
    QVERIFY(!QFileInfo(options.linkPath).isSymLink());
    QCOMPARE(QFileInfo(options.linkPath).isFile(), leftover == "file");
}

QTEST_GUILESS_MAIN(tst_SimulatedSensor)
#include "tst_simulatedsensor.moc"
