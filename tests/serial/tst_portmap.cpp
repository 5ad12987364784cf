#include "serial/portmap.h"

#include <QTest>

class tst_PortMap : public QObject
{
    Q_OBJECT

private slots:
    void platformPorts_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
#ifdef Q_OS_WIN
        QTest::newRow("1") << 1 << "COM1";
        QTest::newRow("0") << 0 << "";
#else
        QTest::newRow("first serial port") << 1 << "/dev/ttyS0";
        QTest::newRow("last serial port") << 32 << "/dev/ttyS31";
        QTest::newRow("first USB adapter") << 33 << "/dev/ttyUSB0";
        QTest::newRow("last USB adapter") << 64 << "/dev/ttyUSB31";
        QTest::newRow("first modem-class adapter") << 65 << "/dev/ttyACM0";
        QTest::newRow("last modem-class adapter") << 96 << "/dev/ttyACM31";
        QTest::newRow("beyond the map") << 97 << "";
        QTest::newRow("highest number") << 32767 << "";
        QTest::newRow("zero") << 0 << "";
        QTest::newRow("negative") << -1 << "";
#endif
    }
    void platformPorts()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QCOMPARE(quadrelink::platformPortName(qint16(port)), device);
    }

    void windowsPorts_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("first") << 1 << "COM1";
        QTest::newRow("two digits") << 12 << "COM12";
        QTest::newRow("last") << 4096 << "COM4096";
        QTest::newRow("beyond the last") << 4097 << "";
        QTest::newRow("highest number") << 32767 << "";
        QTest::newRow("zero") << 0 << "";
        QTest::newRow("negative") << -1 << "";
    }
    void windowsPorts()
    {
        QFETCH(int, port);
        QFETCH(QString, device);
        QCOMPARE(quadrelink::windowsPortName(qint16(port)), device);
    }

    void oneNumberRewired()
    {
        const auto map = quadrelink::portMapWith(1, QStringLiteral("/dev/pts/7"));
        QCOMPARE(map(1), QStringLiteral("/dev/pts/7"));
        QCOMPARE(map(2), quadrelink::platformPortName(2));
    }
};

QTEST_GUILESS_MAIN(tst_PortMap)
#include "tst_portmap.moc"
