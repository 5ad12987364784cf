#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr int timeoutMs = 5000;

// The tool serves from another process, so blocking here is fine.
QByteArray ask(const QString &path, QByteArrayView command, qsizetype replySize)
{
    QByteArray reply;
    const int fd = ::open(qPrintable(path), O_RDWR | O_NOCTTY | O_CLOEXEC);
    pollfd request {fd, POLLIN, 0};
    char buffer[256];
    if (fd >= 0 && ::write(fd, command.data(), command.size()) == command.size()) {
        while (reply.size() < replySize && ::poll(&request, 1, timeoutMs) == 1) {
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            reply.append(buffer, count);
        }
    }
    ::close(fd);
    return reply;
}

} // namespace

class tst_QuadrelinkSim : public QObject
{
    Q_OBJECT

private slots:
    void servesUntilStopped_data();
    void servesUntilStopped();
};

void tst_QuadrelinkSim::servesUntilStopped_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("stopSignal");

    QTest::newRow("SIGTERM") << QStringList() << int(SIGTERM);
    QTest::newRow("SIGINT") << QStringList {"--baud", "9600"} << int(SIGINT);
    QTest::newRow("hang-up-after ends it") << QStringList {"--hang-up-after", "500"} << 0;
}

void tst_QuadrelinkSim::servesUntilStopped()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, stopSignal);

    QTemporaryDir dir;
    const QString link = dir.filePath("sensor");
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(QUADRELINK_SIM_PATH), arguments + QStringList {"--link", link});

    // The first line on stdout is the port, ready to be opened.
    QVERIFY(sim.waitForReadyRead(timeoutMs));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    QCOMPARE(ask(link, "ID\r", 26), QByteArray("ID\rUC1000-30GM-IUR2-K-V15\r"));

    if (stopSignal != 0)
        QCOMPARE(::kill(static_cast<pid_t>(sim.processId()), stopSignal), 0);
    QVERIFY(sim.waitForFinished(timeoutMs));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(tst_QuadrelinkSim)
#include "tst_quadrelinksim.moc"
