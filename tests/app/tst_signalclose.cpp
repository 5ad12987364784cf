#include "app/signalclose.h"
#include "pseudoterminal.h"
#include "serial/commerror.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"

#include <QTest>

#include <csignal>

using namespace quadrelink;

class tst_SignalClose : public QObject
{
    Q_OBJECT

private slots:
    // Signals that come close together are one request to end: the port is
    // closed once, no signal ends the process before that, and no port opens
    // after the first one arrived.
    void signalsCloseThePortOnce_data()
    {
        QTest::addColumn<QList<int>>("arriving");
        QTest::newRow("SIGTERM twice") << QList<int> {SIGTERM, SIGTERM};
        QTest::newRow("a closing terminal: SIGHUP three times")
            << QList<int> {SIGHUP, SIGHUP, SIGHUP};
        QTest::newRow("SIGINT, SIGTERM, SIGHUP") << QList<int> {SIGINT, SIGTERM, SIGHUP};
    }
    void signalsCloseThePortOnce()
    {
        QFETCH(QList<int>, arriving);
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        SerialPortComm comm(portMapWith(1, pty.path()));
        int closes = 0;
        SignalClose signalClose([&] {
            ++closes;
            comm.setPortOpen(false);
        });
        comm.setOpenAllowed(&SignalClose::portMayOpen);
        comm.setPortOpen(true);
        QVERIFY(SignalClose::portMayOpen());

        for (const int signal : arriving)
            std::raise(signal);
        QVERIFY(!SignalClose::portMayOpen());
        QTRY_COMPARE(closes, 1);
        QVERIFY(!comm.PortOpen());
        QTest::qWait(50);
        QCOMPARE(closes, 1);
        QVERIFY_THROWS_EXCEPTION(CommError, comm.setPortOpen(true));
        QVERIFY(!comm.PortOpen());
    }
};

QTEST_GUILESS_MAIN(tst_SignalClose)
#include "tst_signalclose.moc"
