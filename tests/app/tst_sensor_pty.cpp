#include "app/form1.h"
#include "app/shape.h"
#include "sensor/sensordialogue.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace quadrelink;
using quadrelink::sim::SimulatedSensor;

// The window against simulated sensors on real pseudo-terminals, with the
// real timers.
class tst_SensorPty : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        m_window = WindowFixture();
        m_sensors.clear();
    }

    void pollingQueriesFiveTimesASecondUntilStop()
    {
        auto *sensor = addSensor();
        openWindow({{1, sensor->devicePath()}});
        QCOMPARE(m_window.form->controls().Shape1->BackColor(), form::green);

        m_window.form->controls().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(sensor->receivedLineCount() >= 1, 2000);
        const qint64 first = sensor->receivedLineCount();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() >= 2000, 3000);
        const qint64 queries = sensor->receivedLineCount() - first;
        QVERIFY2(queries >= 7 && queries <= 11, qPrintable(QString::number(queries)));
        QCOMPARE(sensor->receivedLines().last().line + '\r',
                 SensorDialogue::distanceQuery.toLatin1());
        QTRY_VERIFY(m_window.showsDistance());

        m_window.form->controls().Command2->click();
        const qint64 atStop = sensor->receivedLineCount();
        idle(600); // a window of three polling periods with no query in it
        QCOMPARE(sensor->receivedLineCount(), atStop);
    }

    void commandAnswersFillTheResponse()
    {
        auto *sensor = addSensor();
        openWindow({{1, sensor->devicePath()}});
        m_window.form->controls().Text1->setText(QStringLiteral("XY"));
        m_window.form->controls().Command3->click();
        QTRY_COMPARE(m_window.label6(), QStringLiteral("E01"));
        m_window.form->controls().Text1->setText(QStringLiteral("ID"));
        m_window.form->controls().Command3->click();
        QTRY_COMPARE(m_window.label6(), QStringLiteral("UC1000-30GM-IUR2-K-V15"));
        QCOMPARE(sensor->receivedLines().last().line, QByteArray("ID"));
    }

    // At 1200 baud echo and answer of one query take 8 characters, about 67 ms:
    // longer than the 50 ms reply delay. The reply read then holds the echo and
    // the first digits, and the rest shows raw at the next tick.
    void pacedAt1200Baud()
    {
        SimulatedSensor::Options options;
        options.baud = 1200;
        auto *sensor = addSensor(options);
        openWindow({{1, sensor->devicePath()}});
        // What Label2 shows after each tick (text left from the last query) and
        // after each reply read.
        QStringList atTick, afterReply;
        connect(&m_window.form->timer(1), &FormTimer::Timer, this,
                [&] { atTick << m_window.label2(); });
        connect(&m_window.form->timer(3), &FormTimer::Timer, this,
                [&] { afterReply << m_window.label2(); });
        m_window.form->controls().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(sensor->receivedLineCount() >= 8, 4000);
        m_window.form->controls().Command2->click();
        QTRY_VERIFY(!m_window.form->timer(3).Enabled());
        // Every reply read shows a prefix of the four digits or XXXXXX: never a
        // crash, never text from another query. A tick shows raw whatever came
        // after that read: the rest of the digits, and when the sensor was slow
        // to start (a busy machine, a slow device) the end of its echo before
        // them, its carriage return as a line break.
        const QRegularExpression digitsOrNone(QStringLiteral("^(\\d{0,4}|XXXXXX)$"));
        const QRegularExpression echoTailThenDigits(QStringLiteral("^((a?d)?\n)?\\d{0,4}$"));
        for (const QString &shown : afterReply)
            QVERIFY2(digitsOrNone.match(shown).hasMatch(), qPrintable(shown));
        for (const QString &shown : atTick)
            QVERIFY2(echoTailThenDigits.match(shown).hasMatch(), qPrintable(shown));
        qInfo("1200 baud, after each tick: %s", qPrintable(atTick.join(u'|')));
        qInfo("1200 baud, after each reply read: %s", qPrintable(afterReply.join(u'|')));
    }

    void choosingAnotherPortNumberReopensThere()
    {
        auto *first = addSensor();
        auto *second = addSensor();
        openWindow({{1, first->devicePath()}, {2, second->devicePath()}});
        QTRY_VERIFY(first->isPeerOpen());

        m_window.form->controls().Command1->click();
        combo(0)->setEditText(QStringLiteral("2"));
        emit combo(0)->activated(combo(0)->currentIndex());
        QTRY_VERIFY(!m_window.form->timer(2).Enabled());
        QCOMPARE(m_window.form->controls().Shape1->BackColor(), form::green);
        QTRY_VERIFY(!first->isPeerOpen());
        QTRY_VERIFY(second->isPeerOpen());
        QTRY_VERIFY_WITH_TIMEOUT(second->receivedLineCount() >= 3, 3000);
        QTRY_VERIFY(m_window.showsDistance());
        QVERIFY(m_window.messages.isEmpty());
    }

    // What the operator chooses reaches the line: the sensor's side of the
    // pseudo-terminal sees the baud rate, the stop bits and the kind of parity.
    void chosenSettingsReachTheLine_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("stopBits");
        // '-': no parity, which a pseudo-terminal cannot show (the parity kind
        // then means nothing on a real line either).
        QTest::addColumn<char>("parityKind");
        QTest::newRow("as at start") << QStringList {"1200", "n", "8", "1"} << 1200 << 1 << '-';
        QTest::newRow("9600, two stop bits")
            << QStringList {"9600", "n", "8", "2"} << 9600 << 2 << '-';
        QTest::newRow("odd") << QStringList {"19200", "o", "8", "1"} << 19200 << 1 << 'o';
        QTest::newRow("even after odd") << QStringList {"300", "e", "8", "1"} << 300 << 1 << 'e';
        QTest::newRow("mark") << QStringList {"4800", "m", "8", "2"} << 4800 << 2 << 'm';
        QTest::newRow("space") << QStringList {"115200", "s", "8", "1"} << 115200 << 1 << 's';
    }
    void chosenSettingsReachTheLine()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, baud);
        QFETCH(int, stopBits);
        QFETCH(char, parityKind);
        auto *sensor = addSensor();
        openWindow({{1, sensor->devicePath()}});
        // Odd parity first, so that the row's own parity must be set, not left.
        for (const QStringList &chosen : {QStringList {"2400", "o", "8", "2"}, texts}) {
            for (int box = 1; box <= 4; ++box)
                combo(box)->setEditText(chosen[box - 1]);
            emit combo(1)->activated(combo(1)->currentIndex());
            QTRY_VERIFY(!m_window.form->timer(2).Enabled());
            QCOMPARE(m_window.form->controls().Shape1->BackColor(), form::green);
        }
        const SimulatedSensor::LineView line = sensor->lineView();
        QCOMPARE(line.baudRate, baud);
        QCOMPARE(line.stopBits, stopBits);
        if (parityKind != '-')
            QCOMPARE(line.parityKind, parityKind);
        QVERIFY(m_window.messages.isEmpty());
    }

    void portNumberWithoutDeviceShowsRedWithoutMessage()
    {
        auto *sensor = addSensor();
        openWindow({{1, sensor->devicePath()}});
        combo(0)->setEditText(QStringLiteral("3"));
        emit combo(0)->activated(-1);
        QTRY_VERIFY(!m_window.form->timer(2).Enabled());
        QCOMPARE(m_window.form->controls().Shape1->BackColor(), form::red);
        QVERIFY(m_window.messages.isEmpty());
        QVERIFY(!sensor->isPeerOpen());
    }

    void pollingThroughTheApplyWindowShowsXXXXXX()
    {
        auto *sensor = addSensor();
        openWindow({{1, sensor->devicePath()}});
        QStringList shown;
        m_window.form->controls().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(sensor->receivedLineCount() >= 2, 2000);
        // Keep the port closed long enough for a whole polling step to meet it.
        for (int i = 0; i < 4; ++i) {
            m_window.form->Combo1_Click(4);
            QTest::qWait(90);
            shown << m_window.label2();
        }
        QTRY_VERIFY(!m_window.form->timer(2).Enabled());
        QVERIFY2(shown.contains(QStringLiteral("XXXXXX")), qPrintable(shown.join(u'|')));
        QCOMPARE(m_window.form->controls().Shape1->BackColor(), form::green);
        const qint64 afterApply = sensor->receivedLineCount();
        QTRY_VERIFY_WITH_TIMEOUT(sensor->receivedLineCount() >= afterApply + 2, 2000);
        QTRY_VERIFY(m_window.showsDistance());
    }

private:
    SimulatedSensor *addSensor(const SimulatedSensor::Options &options = {})
    {
        m_sensors.push_back(startSensor(options));
        return m_sensors.back().get();
    }

    void openWindow(QHash<int, QString> devices)
    {
        m_window.devices = std::move(devices);
        m_window.open();
    }

    QComboBox *combo(int i) const { return m_window.form->controls().Combo1[i]; }

    std::vector<std::unique_ptr<SimulatedSensor>> m_sensors;
    WindowFixture m_window;
};

QTEST_MAIN(tst_SensorPty)
#include "tst_sensor_pty.moc"
