#include "pseudoterminal.h"
#include "serial/commerror.h"
#include "serial/serialportcomm.h"
#include "testhelpers.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace quadrelink;

using CommUse = std::function<void(MSComm &)>;
Q_DECLARE_METATYPE(CommUse)
Q_DECLARE_METATYPE(PseudoTerminal::Line)

// How QCOMPARE shows what the device side saw.
char *toString(const PseudoTerminal::Line &line)
{
    return QTest::toString(QStringLiteral("%1 baud, %2 stop bits, PARODD %3, CMSPAR %4")
                               .arg(line.baudRate)
                               .arg(line.twoStopBits ? 2 : 1)
                               .arg(line.oddParity)
                               .arg(line.markOrSpaceParity));
}

namespace {

CommErrorCode errorOf(const std::function<void()> &step)
{
    try {
        step();
    } catch (const CommError &error) {
        return error.code();
    }
    return CommErrorCode {};
}

// Reads from the control until `count` characters came or time runs out; the
// event loop must run for bytes to reach the control.
QString readInput(MSComm &comm, qsizetype count)
{
    QString got;
    QDeadlineTimer deadline(5000);
    while (got.size() < count && !deadline.hasExpired()) {
        QTest::qWait(10);
        got += comm.Input();
    }
    return got;
}

} // namespace

class tst_SerialPortComm : public QObject
{
    Q_OBJECT

private slots:
    void opensTheMappedDevice_data()
    {
        using Line = PseudoTerminal::Line;
        QTest::addColumn<QString>("settings");
        QTest::addColumn<Line>("line");
        QTest::newRow("design settings") << "1200,n,8,1" << Line {1200, false, false, false};
        QTest::newRow("odd parity, 2 stop bits") << "9600,o,8,2" << Line {9600, true, true, false};
        QTest::newRow("mark parity") << "19200,m,8,1" << Line {19200, false, true, true};
        QTest::newRow("space parity, 7 data bits, 2 stop bits")
            << "4800,s,7,2" << Line {4800, true, false, true};
    }
    void opensTheMappedDevice()
    {
        QFETCH(QString, settings);
        QFETCH(PseudoTerminal::Line, line);
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        SerialPortComm comm(portMapWith(1, pty.path()));
        comm.setSettings(settings);

        // The line opens straight into its settings: nothing is changed on it
        // once it is open, where it would first run at the driver's defaults.
        auto *port = comm.findChild<QSerialPort *>();
        QVERIFY(port);
        QStringList changedWhileOpen;
        const auto watch = [&](auto changed, const char *name) {
            connect(port, changed, this, [&changedWhileOpen, port, name] {
                if (port->isOpen())
                    changedWhileOpen << QLatin1String(name);
            });
        };
        watch(&QSerialPort::baudRateChanged, "baud rate");
        watch(&QSerialPort::parityChanged, "parity");
        watch(&QSerialPort::dataBitsChanged, "data bits");
        watch(&QSerialPort::stopBitsChanged, "stop bits");

        QVERIFY(!pty.peerOpen());
        comm.setPortOpen(true);
        QVERIFY(comm.PortOpen());
        QVERIFY(pty.peerOpen());
        QCOMPARE(changedWhileOpen, QStringList());
        QCOMPARE(pty.line(), line);
        comm.setPortOpen(false);
        QVERIFY(!comm.PortOpen());
        QTRY_VERIFY(!pty.peerOpen());
    }

    void bytesPassBothWaysUnchanged()
    {
        PseudoTerminal pty;
        SerialPortComm comm(portMapWith(1, pty.path()));
        comm.setPortOpen(true);

        const QByteArray bytes("\x00\x0d\x80\xff", 4);
        const QString text = QString::fromLatin1(bytes);
        comm.setOutput(text);
        QCOMPARE(pty.read(4), bytes);

        pty.write(bytes);
        QCOMPARE(readInput(comm, 4), text);
    }

    void charactersWithoutAByteGoOutAsQuestionMarks()
    {
        PseudoTerminal pty;
        SerialPortComm comm(portMapWith(1, pty.path()));
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("I\u0416D\r"));
        QCOMPARE(pty.read(4), QByteArray("I?D\r"));
    }

    void longCommandOnASlowLine_data()
    {
        QTest::addColumn<int>("pieces");
        QTest::addColumn<bool>("farEndHangsUp");
        QTest::newRow("64 KiB command, polling behind it") << 1 << false;
        // Pieces that fill the line's buffer exactly leave nothing queued in
        // the program while the line is full: the next piece meets it at once.
        QTest::newRow("256-byte commands back to back, polling behind them") << 256 << false;
        QTest::newRow("far end hangs up while the command waits") << 1 << true;
    }
    void longCommandOnASlowLine()
    {
        QFETCH(int, pieces);
        QFETCH(bool, farEndHangsUp);
        PseudoTerminal pty;
        SerialPortComm comm(portMapWith(1, pty.path()));
        QSignalSpy lost(&comm, &MSComm::portLost);
        comm.setPortOpen(true);

        // On an idle line a query leaves when it is written, before the event
        // loop turns, so the sensor sees the polling rhythm.
        const QByteArray query("ad\r");
        comm.setOutput(QString::fromLatin1(query));
        QCOMPARE(pty.readWithoutEvents(query.size(), 5000), query);

        // Far more than the line's buffer holds, every byte value, no repeating
        // pattern that could hide a block sent twice or out of order.
        QByteArray command(64 * 1024, '\0');
        quint32 state = 1;
        for (char &byte : command) {
            state = state * 1103515245u + 12345u;
            byte = char(state >> 24);
        }
        const qsizetype pieceSize = command.size() / pieces;
        for (qsizetype at = 0; at < command.size() && comm.PortOpen(); at += pieceSize)
            comm.setOutput(QString::fromLatin1(command.mid(at, pieceSize)));

        // Polling goes on while the far end takes 256 bytes per period: each
        // query meets a full line and must wait behind the command.
        QByteArray expected = command;
        QByteArray got;
        for (int tick = 0; tick < 10; ++tick) {
            QTest::qWait(200);
            if (!comm.PortOpen())
                break;
            comm.setOutput(QString::fromLatin1(query));
            expected += query;
            got += pty.readWithoutEvents(256);
        }
        QCOMPARE(lost.size(), 0);
        QVERIFY(comm.PortOpen());

        if (farEndHangsUp) {
            // Back-pressure must not hide a real loss.
            pty.hangUp();
            QVERIFY(lost.wait(5000));
            QVERIFY(!comm.PortOpen());
            QTest::qWait(500);
            QCOMPARE(lost.size(), 1);
            return;
        }
        got += pty.read(expected.size() - got.size(), 60000);
        QCOMPARE(got.size(), expected.size());
        const auto mismatch = std::ranges::mismatch(got, expected);
        QVERIFY2(mismatch.in1 == got.end(),
                 qPrintable(QStringLiteral("first wrong byte at %1")
                                .arg(std::distance(got.begin(), mismatch.in1))));
        QCOMPARE(lost.size(), 0);
        QVERIFY(comm.PortOpen());
    }

    void moreThanTheReceiveBufferArrivesInLaterReads()
    {
        PseudoTerminal pty;
        SerialPortComm comm(portMapWith(1, pty.path()));
        comm.setPortOpen(true);
        QByteArray bytes(5000, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7);
        pty.write(bytes);
        QString got;
        qsizetype largestRead = 0;
        QDeadlineTimer deadline(10000);
        while (got.size() < bytes.size() && !deadline.hasExpired()) {
            QTest::qWait(5);
            const QString chunk = comm.Input();
            largestRead = std::max(largestRead, chunk.size());
            got += chunk;
        }
        QCOMPARE(got.toLatin1(), bytes);
        QVERIFY(largestRead <= SerialPortComm::receiveBufferSize);
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("no such device") << "/dev/quadrelink-no-such-device";
        QTest::newRow("no device for the number") << "";
        QTest::newRow("not a terminal") << "/dev/null";
    }
    void openFailures()
    {
        QFETCH(QString, device);
        SerialPortComm comm([device](qint16) { return device; });
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), CommErrorCode::OpenFailed);
        QVERIFY(!comm.PortOpen());
    }

    void portHeldByAnotherOpenerIsBusy()
    {
        PseudoTerminal pty;
        SerialPortComm first(portMapWith(1, pty.path()));
        SerialPortComm second(portMapWith(1, pty.path()));
        first.setPortOpen(true);
        QCOMPARE(errorOf([&] { second.setPortOpen(true); }), CommErrorCode::OpenFailed);
        QVERIFY(!second.PortOpen());
        QVERIFY(first.PortOpen());
    }

    void refusedUses_data()
    {
        QTest::addColumn<int>("expected");
        QTest::addColumn<CommUse>("use");
        QTest::newRow("port number 0") << int(CommErrorCode::InvalidPortNumber)
                                       << CommUse([](MSComm &c) { c.setCommPort(0); });
        QTest::newRow("negative port number") << int(CommErrorCode::InvalidPortNumber)
                                              << CommUse([](MSComm &c) { c.setCommPort(-5); });
        QTest::newRow("settings text refused")
            << int(CommErrorCode::InvalidSettings)
            << CommUse([](MSComm &c) { c.setSettings("abc,n,8,1"); });
        QTest::newRow("Input while closed")
            << int(CommErrorCode::PortNotOpen) << CommUse([](MSComm &c) { (void)c.Input(); });
        QTest::newRow("Output while closed")
            << int(CommErrorCode::PortNotOpen) << CommUse([](MSComm &c) { c.setOutput("ad\r"); });
    }
    void refusedUses()
    {
        QFETCH(int, expected);
        QFETCH(CommUse, use);
        SerialPortComm comm(&platformPortName);
        QCOMPARE(int(errorOf([&] { use(comm); })), expected);
        // A refused setting leaves the previous one in force.
        QCOMPARE(comm.CommPort(), qint16(1));
        QCOMPARE(comm.Settings(), QStringLiteral("1200,n,8,1"));
    }

    void openingAnOpenPortIsAnError()
    {
        PseudoTerminal pty;
        SerialPortComm comm(portMapWith(1, pty.path()));
        comm.setPortOpen(true);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), CommErrorCode::PortAlreadyOpen);
        QVERIFY(comm.PortOpen());
    }

    void hangUpClosesThePortWithoutSpinning_data()
    {
        QTest::addColumn<int>("unreadBytes");
        // Nothing happens on the port: no read or write of the program's can
        // meet the hang-up.
        QTest::newRow("idle port") << 0;
        // The control holds all it may; the rest waits in the system, where
        // the port no longer reads it.
        QTest::newRow("received bytes wait unread") << int(SerialPortComm::receiveBufferSize) * 4;
    }
    void hangUpClosesThePortWithoutSpinning()
    {
        QFETCH(int, unreadBytes);
        auto pty = std::make_unique<PseudoTerminal>();
        SerialPortComm comm(portMapWith(1, pty->path()));
        QSignalSpy lost(&comm, &MSComm::portLost);
        comm.setPortOpen(true);
        if (unreadBytes > 0) {
            pty->write(QByteArray(unreadBytes, 'x'));
            auto *port = comm.findChild<QSerialPort *>();
            QTRY_COMPARE(port->bytesAvailable(), SerialPortComm::receiveBufferSize);
            QTest::qWait(100);
        }

        // A port that goes on polling a hung-up device uses a whole core, or
        // whatever share of it a busy machine gives: CPU time tells, where the
        // clock would only tell how busy the machine is.
        const double before = cpuSeconds();
        pty->hangUp();
        QVERIFY(lost.wait(5000));
        QVERIFY(!comm.PortOpen());
        idle(2000);
        const double used = cpuSeconds() - before;
        qInfo("CPU from the hang-up to 2 s after the loss: %.3f s", used);
        QVERIFY2(used < 0.2, qPrintable(QStringLiteral("%1 s of CPU").arg(used)));
        QCOMPARE(lost.size(), 1);
    }

    void reopensWhenTheDeviceIsBack()
    {
        PseudoTerminal first;
        QString device = first.path();
        SerialPortComm comm([&device](qint16) { return device; });
        QSignalSpy lost(&comm, &MSComm::portLost);
        comm.setPortOpen(true);
        first.hangUp();
        QVERIFY(lost.wait(5000));

        PseudoTerminal second;
        device = second.path();
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("ad\r"));
        QCOMPARE(second.read(3), QByteArray("ad\r"));
    }
};

QTEST_GUILESS_MAIN(tst_SerialPortComm)
#include "tst_serialportcomm.moc"
