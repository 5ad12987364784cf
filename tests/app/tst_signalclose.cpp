#include "app/signalclose.h"
#include "pseudoterminal.h"
#include "serial/commerror.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

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
        // Whatever the later signals left for the event loop is taken now.
        QCoreApplication::processEvents();
        QCOMPARE(closes, 1);
        QVERIFY_THROWS_EXCEPTION(CommError, comm.setPortOpen(true));
        QVERIFY(!comm.PortOpen());
    }

    // A shut-down that hangs (here: an event loop that never turns) is ended
    // by a later signal only once it has hung for the time given, and only
    // with the port's lock file removed first. Runs in a child process, which
    // the signal ends or which tells by its exit status that it lives on.
    void aLaterSignalEndsOnlyAHungShutDownWithoutItsLock_data()
    {
        QTest::addColumn<std::chrono::milliseconds>("hungShutDown");
        QTest::addColumn<bool>("ended");
        QTest::newRow("the same request while the shut-down may still end")
            << std::chrono::milliseconds(std::chrono::hours(1)) << false;
        QTest::newRow("a shut-down that has hung too long") << std::chrono::milliseconds(0) << true;
    }
    void aLaterSignalEndsOnlyAHungShutDownWithoutItsLock()
    {
        QFETCH(std::chrono::milliseconds, hungShutDown);
        QFETCH(bool, ended);
        QTemporaryDir directory;
        const QString lockFile = directory.filePath(QStringLiteral("LCK..ttyS0"));
        QVERIFY(QFile(lockFile).open(QIODevice::WriteOnly));
        SignalClose signalClose([] {}, hungShutDown);
        signalClose.setLockFile(lockFile);

        constexpr int livesOn = 3;
        const pid_t child = ::fork();
        if (child == 0) {
            std::raise(SIGTERM);
            std::raise(SIGHUP);
            ::_exit(livesOn);
        }
        QVERIFY(child > 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        if (ended) {
            QVERIFY2(WIFSIGNALED(status), qPrintable(QString::number(WEXITSTATUS(status))));
            QCOMPARE(WTERMSIG(status), SIGHUP);
        } else {
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), livesOn);
        }
        QCOMPARE(QFile::exists(lockFile), !ended);
    }
};

QTEST_GUILESS_MAIN(tst_SignalClose)
#include "tst_signalclose.moc"
