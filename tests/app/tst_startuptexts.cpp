#include "app/startuptexts.h"

#include <QTest>

using namespace quadrelink;

class tst_StartupTexts : public QObject
{
    Q_OBJECT

private slots:
    void caption_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("shortDateFormat");
        QTest::addColumn<QLocale>("language");
        QTest::addColumn<QString>("ending");

        const QLocale english(QLocale::English, QLocale::UnitedKingdom);
        QTest::newRow("day.month.year with English names")
            << QDate(2026, 12, 6) << "dd.MM.yyyy" << english << "Today:06.12.2026   Sunday";
        QTest::newRow("a Monday") << QDate(2026, 12, 7) << "dd.MM.yyyy" << english
                                  << "Today:07.12.2026   Monday";
        QTest::newRow("US order") << QDate(2026, 1, 31) << "M/d/yyyy"
                                  << QLocale(QLocale::English, QLocale::UnitedStates)
                                  << "Today:1/31/2026   Saturday";
        QTest::newRow("Russian names")
            << QDate(2026, 12, 6) << "dd.MM.yyyy" << QLocale(QLocale::Russian, QLocale::Russia)
            << QString::fromUtf8("Today:06.12.2026   воскресенье");
    }
    void caption()
    {
        QFETCH(QDate, today);
        QFETCH(QString, shortDateFormat);
        QFETCH(QLocale, language);
        QFETCH(QString, ending);

        const QString caption = formCaption(today, {shortDateFormat, language});
        const QString product
            = QStringLiteral("Velmorantix       Quadrelink v.1.00             Today:");
        QCOMPARE(product.size(), 54);
        QVERIFY2(caption.startsWith(product), qPrintable(caption));
        QVERIFY2(caption.endsWith(ending), qPrintable(caption));
        QCOMPARE(caption.size(), product.size() - 6 + ending.size());
    }

    void captionFollowsTheLocalesShortFormat()
    {
        const QLocale locale(QLocale::German, QLocale::Germany);
        const QString caption = formCaption(QDate(2026, 12, 6), RegionalSettings::from(locale));
        QVERIFY(caption.endsWith(locale.toString(QDate(2026, 12, 6), QLocale::ShortFormat)
                                 + QStringLiteral("   Sonntag")));
    }

    void aboutTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("emptyLineAt");
        QTest::newRow("maker and product") << makerText() << 5;
        QTest::newRow("terms of use") << termsText() << -1;
    }
    void aboutTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, emptyLineAt);
        QVERIFY(!text.endsWith(u'\n') && !text.endsWith(u'\r'));
        // Lines are joined by CR LF and by nothing else.
        QCOMPARE(text.count(u'\r'), text.count(u'\n'));
        QCOMPARE(text.count(u'\r'), text.count(QStringLiteral("\r\n")));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(lines[i].isEmpty(), i == emptyLineAt);
    }

    void makerTextNamesMakerAndProduct()
    {
        const QStringList lines = makerText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines[0], QStringLiteral("Velmorantix"));
        QCOMPARE(lines[1], QStringLiteral("Quadrelink v.1.00"));
    }

    void termsAreNumberedInOrder()
    {
        const QStringList lines = termsText().split(QStringLiteral("\r\n"));
        QVERIFY(lines[0].contains(QStringLiteral("Quadrelink v.1.00")));
        QVERIFY(lines[0].endsWith(u':'));
        for (int i = 1; i < lines.size(); ++i)
            QVERIFY2(lines[i].startsWith(QStringLiteral("%1. ").arg(i)), qPrintable(lines[i]));
    }
};

QTEST_GUILESS_MAIN(tst_StartupTexts)
#include "tst_startuptexts.moc"
