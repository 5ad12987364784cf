#include "serial/linesettings.h"

#include <QTest>

using quadrelink::LineSettings;
using quadrelink::parseLineSettings;

class tst_LineSettings : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");

        using P = LineSettings::Parity;
        QTest::newRow("the initial settings") << "1200,n,8,1" << 1200 << int(P::None) << 8 << 1;
        QTest::newRow("lowest baud rate") << "110,e,7,2" << 110 << int(P::Even) << 7 << 2;
        QTest::newRow("highest baud rate") << "256000,o,5,1" << 256000 << int(P::Odd) << 5 << 1;
        QTest::newRow("rate not in the box's list")
            << "56000,s,6,1" << 56000 << int(P::Space) << 6 << 1;
        QTest::newRow("capital parity letter") << "9600,M,8,2" << 9600 << int(P::Mark) << 8 << 2;
        QTest::newRow("capital N") << "115200,N,8,1" << 115200 << int(P::None) << 8 << 1;
    }
    void accepted()
    {
        QFETCH(QString, text);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        const auto parsed = parseLineSettings(text);
        QVERIFY(parsed);
        QCOMPARE(*parsed, (LineSettings {baud, LineSettings::Parity(parity), dataBits, stopBits}));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("three fields") << "1200,n,8";
        QTest::newRow("five fields") << "1200,n,8,1,1";
        QTest::newRow("letters for baud") << "abc,n,8,1";
        QTest::newRow("baud the control does not know") << "12345,n,8,1";
        QTest::newRow("zero baud") << "0,n,8,1";
        QTest::newRow("negative baud") << "-1200,n,8,1";
        QTest::newRow("leading zero") << "01200,n,8,1";
        QTest::newRow("space before a field") << "1200, n,8,1";
        QTest::newRow("space after the text") << "1200,n,8,1 ";
        QTest::newRow("unknown parity letter") << "1200,x,8,1";
        QTest::newRow("parity word") << "1200,none,8,1";
        QTest::newRow("empty parity") << "1200,,8,1";
        QTest::newRow("4 data bits") << "1200,n,4,1";
        QTest::newRow("9 data bits") << "1200,n,9,1";
        QTest::newRow("one and a half stop bits") << "1200,n,8,1.5";
        QTest::newRow("3 stop bits") << "1200,n,8,3";
        QTest::newRow("semicolons") << "1200;n;8;1";
        QTest::newRow("huge number") << "99999999999999999999,n,8,1";
    }
    void refused()
    {
        QFETCH(QString, text);
        QVERIFY(!parseLineSettings(text));
    }
};

QTEST_GUILESS_MAIN(tst_LineSettings)
#include "tst_linesettings.moc"
