#include "fakecomm.h"
#include "serial/settingsapply.h"

#include <QTest>

using namespace quadrelink;

class tst_SettingsApply : public QObject
{
    Q_OBJECT

private slots:
    void portNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // -1: refused, the previous port stays
        QTest::addColumn<bool>("message");

        QTest::newRow("1") << "1" << 1 << false;
        QTest::newRow("spaces around") << " 3 " << 3 << false;
        QTest::newRow("half rounds to even, down") << "2.5" << 2 << false;
        QTest::newRow("half rounds to even, up") << "3.5" << 4 << false;
        QTest::newRow("fraction rounds to nearest") << "4.6" << 5 << false;
        QTest::newRow("number above the list") << "40" << 40 << false;
        QTest::newRow("highest 16-bit number") << "32767" << 32767 << false;
        QTest::newRow("zero is refused by the control") << "0" << -1 << true;
        QTest::newRow("negative is refused by the control") << "-1" << -1 << true;
        QTest::newRow("0.4 rounds to a refused 0") << "0.4" << -1 << true;
        QTest::newRow("beyond 16 bits") << "32768" << -1 << true;
        QTest::newRow("far below 16 bits") << "-40000" << -1 << true;
        QTest::newRow("letters") << "abc" << -1 << true;
        QTest::newRow("empty") << "" << -1 << true;
        QTest::newRow("digits then letters") << "3x" << -1 << true;
        QTest::newRow("two numbers") << "1 2" << -1 << true;
    }
    void portNumber()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(bool, message);
        FakeComm comm;
        comm.setCommPort(7);
        const bool refused = applySettingsTexts(comm, {text, "1200", "n", "8", "1"});
        QCOMPARE(refused, message);
        QCOMPARE(int(comm.CommPort()), port == -1 ? 7 : port);
        // The line settings are applied whatever the port number was.
        QVERIFY(comm.calls.contains(QStringLiteral("Settings=1200,n,8,1")));
    }

    void parsePortNumberRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("valid");
        QTest::newRow("lowest") << "-32768" << -32768 << true;
        QTest::newRow("just below") << "-32768.6" << 0 << false;
        QTest::newRow("rounds into range") << "32767.4" << 32767 << true;
        QTest::newRow("rounds out of range") << "32767.5" << 0 << false;
        QTest::newRow("leading point") << ".5" << 0 << true;
        QTest::newRow("plus sign") << "+2" << 2 << true;
        QTest::newRow("exponent is not a decimal number") << "1e2" << 0 << false;
        QTest::newRow("comma") << "2,5" << 0 << false;
        QTest::newRow("huge") << QString(400, u'9') << 0 << false;
    }
    void parsePortNumberRange()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(bool, valid);
        const auto parsed = parsePortNumber(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(int(*parsed), expected);
    }

    void initialTextsGiveTheInitialSettings()
    {
        FakeComm comm;
        QVERIFY(!applySettingsTexts(comm, {"1", "1200", "n", "8", "1"}));
        QCOMPARE(comm.calls, (QStringList {"CommPort=1", "Settings=1200,n,8,1"}));
    }

    void lineSettingsJoinedUnchanged_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("message");
        QTest::newRow("stop bits taken too")
            << QStringList {"2", "9600", "e", "7", "2"} << "9600,e,7,2" << false;
        QTest::newRow("letters for baud")
            << QStringList {"2", "fast", "n", "8", "1"} << "fast,n,8,1" << true;
        QTest::newRow("no trimming")
            << QStringList {"2", " 9600", "n", "8", "1"} << " 9600,n,8,1" << true;
        QTest::newRow("both wrong, one message")
            << QStringList {"abc", "x", "n", "8", "1"} << "x,n,8,1" << true;
    }
    void lineSettingsJoinedUnchanged()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, settings);
        QFETCH(bool, message);
        FakeComm comm;
        const bool refused
            = applySettingsTexts(comm, {texts[0], texts[1], texts[2], texts[3], texts[4]});
        QCOMPARE(refused, message);
        QCOMPARE(comm.calls.last(), QStringLiteral("Settings=") + settings);
        QCOMPARE(comm.Settings(), message ? QStringLiteral("1200,n,8,1") : settings);
    }
};

QTEST_GUILESS_MAIN(tst_SettingsApply)
#include "tst_settingsapply.moc"
