#include "sensor/extractreply.h"

#include <QTest>

using quadrelink::displayText;
using quadrelink::ExtractReply;

class tst_ExtractReply : public QObject
{
    Q_OBJECT

private slots:
    void extract_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("answer");

        QTest::newRow("empty text gives XXXXXX") << ""
                                                 << "XXXXXX";
        QTest::newRow("no CR gives XXXXXX") << "123"
                                            << "XXXXXX";
        QTest::newRow("line feed alone is no CR") << "ad\n0523\n"
                                                  << "XXXXXX";
        QTest::newRow("echo then answer") << "ad\r0523\r"
                                          << "0523\r";
        QTest::newRow("CR last gives empty text") << "ad\r"
                                                  << "";
        QTest::newRow("CR first keeps the whole rest") << "\r0523"
                                                       << "0523";
        QTest::newRow("only the first CR counts") << "x\r12\r"
                                                  << "12\r";
        QTest::newRow("several answers in one read") << "ad\r0523\rad\r0524\r"
                                                     << "0523\rad\r0524\r";
        QTest::newRow("line feed after the CR stays") << "ID\r\nUC\r\n"
                                                      << "\nUC\r\n";
        QTest::newRow("NUL kept") << QString::fromLatin1("ad\r\0\x31", 5)
                                  << QString::fromLatin1("\0\x31", 2);
        QTest::newRow("bytes above 0x7F kept")
            << QString::fromLatin1("ad\r\x80\xff\xe9") << QString::fromLatin1("\x80\xff\xe9");
        QTest::newRow("longer than a 16-bit counter")
            << QString(40000, u'7') + u'\r' + QStringLiteral("end") << "end";
    }
    void extract()
    {
        QFETCH(QString, received);
        QFETCH(QString, answer);
        QCOMPARE(ExtractReply(received), answer);
    }

    void display_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("shown");

        QTest::newRow("typical answer reads as its digits") << "0523\r"
                                                            << "0523";
        QTest::newRow("trailing CR LF not shown") << "UC1000\r\n"
                                                  << "UC1000";
        QTest::newRow("several trailing line ends") << "7\r\r\n\n"
                                                    << "7";
        QTest::newRow("CR inside starts a line") << "0523\rad\r0524\r"
                                                 << "0523\nad\n0524";
        QTest::newRow("CR LF inside is one break") << "a\r\nb"
                                                   << "a\nb";
        QTest::newRow("lone LF inside is a break") << "a\nb"
                                                   << "a\nb";
        QTest::newRow("leading line end kept") << "\nUC"
                                               << "\nUC";
        QTest::newRow("empty stays empty") << ""
                                           << "";
        QTest::newRow("XXXXXX as is") << "XXXXXX"
                                      << "XXXXXX";
        QTest::newRow("markup is just text") << "<b>x</b>\r"
                                             << "<b>x</b>";
    }
    void display()
    {
        QFETCH(QString, answer);
        QFETCH(QString, shown);
        QCOMPARE(displayText(answer), shown);
    }
};

QTEST_GUILESS_MAIN(tst_ExtractReply)
#include "tst_extractreply.moc"
