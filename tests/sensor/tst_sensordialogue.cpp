#include "fakecomm.h"
#include "sensor/sensordialogue.h"

#include <QSignalSpy>
#include <QTest>

using quadrelink::FormTimer;
using quadrelink::SensorDialogue;

// The polling cycle and the operator's command, handler by handler, against a
// scripted control: what goes out, what each readout is handed, and which
// delay runs.
class tst_SensorDialogue : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_comm.emplace();
        m_comm->setPortOpen(true);
        m_comm->calls.clear();
        m_dialogue.emplace(*m_comm);
        m_distance.emplace(&*m_dialogue, &SensorDialogue::distanceShown);
        m_response.emplace(&*m_dialogue, &SensorDialogue::responseShown);
    }

    void tickSendsTheQueryAndTheReplyIsShown()
    {
        m_dialogue->pollingTick();
        QCOMPARE(m_comm->sent, QStringList {"ad\r"});
        QCOMPARE(distance(), QString());
        QVERIFY(m_dialogue->distanceReplyDelay().Enabled());

        m_comm->receive(QStringLiteral("ad\r0523\r"));
        m_dialogue->distanceReplyDue();
        QCOMPARE(distance(), QStringLiteral("0523\r"));
        QCOMPARE(m_dialogue->replyBuffer(), QStringLiteral("ad\r0523\r"));
        QVERIFY(!m_dialogue->distanceReplyDelay().Enabled());
        QCOMPARE(m_comm->calls, (QStringList {"Input", "Output=ad\r", "Input"}));
    }

    void answers_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nothing came") << ""
                                      << "XXXXXX";
        QTest::newRow("answer without CR") << "0523"
                                           << "XXXXXX";
        QTest::newRow("CR last gives an empty answer") << "ad\r"
                                                       << "";
        QTest::newRow("later CRs stay") << "x\r12\r"
                                        << "12\r";
        QTest::newRow("bytes kept")
            << QString::fromLatin1("ad\r\0\xff<b>", 8) << QString::fromLatin1("\0\xff<b>", 5);
    }
    void answers()
    {
        QFETCH(QString, received);
        QFETCH(QString, shown);
        // The distance and the command's answer are read by the one rule.
        m_dialogue->pollingTick();
        m_comm->receive(received);
        m_dialogue->distanceReplyDue();
        QCOMPARE(distance(), shown);
        m_dialogue->sendCommand(QStringLiteral("ID"));
        m_comm->receive(received);
        m_dialogue->commandReplyDue();
        QCOMPARE(response(), shown);
        QCOMPARE(m_dialogue->replyBuffer(), received);
    }

    void pendingTextShownAtTheTickThenReplaced()
    {
        m_comm->receive(QStringLiteral("late\r"));
        m_dialogue->pollingTick();
        QCOMPARE(distance(), QStringLiteral("late\r"));
        m_comm->receive(QStringLiteral("ad\r0600\r"));
        m_dialogue->distanceReplyDue();
        QCOMPARE(distance(), QStringLiteral("0600\r"));
    }

    void runAndStop()
    {
        m_dialogue->startPolling();
        QVERIFY(m_dialogue->pollingClock().Enabled());
        // "Run" sends nothing itself: the first query goes out at the first tick.
        QVERIFY(m_comm->sent.isEmpty());
        m_dialogue->pollingTick();
        m_dialogue->stopPolling();
        QVERIFY(!m_dialogue->pollingClock().Enabled());
        // A reply delay already running still ends with its read.
        QVERIFY(m_dialogue->distanceReplyDelay().Enabled());
        m_comm->receive(QStringLiteral("ad\r0777\r"));
        m_dialogue->distanceReplyDue();
        QCOMPARE(distance(), QStringLiteral("0777\r"));
        QVERIFY(!m_dialogue->distanceReplyDelay().Enabled());
        QCOMPARE(m_comm->sent.size(), 1);
    }

    // "Run" while polling, or "Out" within the command's delay, starts no second
    // clock: the next tick or read keeps the time of the first.
    void secondStartKeepsTheRunningClock_data()
    {
        QTest::addColumn<bool>("polling");
        QTest::newRow("Run twice") << true;
        QTest::newRow("Out twice") << false;
    }
    void secondStartKeepsTheRunningClock()
    {
        QFETCH(bool, polling);
        FormTimer &clock = polling ? m_dialogue->pollingClock() : m_dialogue->commandReplyDelay();
        const auto start = [&] {
            polling ? m_dialogue->startPolling() : m_dialogue->sendCommand(QStringLiteral("ID"));
        };
        start();
        // Until the clock has run down from its full interval (it counts whole
        // milliseconds), a restart could not be told from no restart.
        QTRY_VERIFY(clock.remainingTime() < clock.Interval());
        const int remaining = clock.remainingTime();
        start();
        QVERIFY(clock.Enabled());
        // A restarted clock would have its whole interval to run again.
        QVERIFY2(
            clock.remainingTime() <= remaining,
            qPrintable(
                QStringLiteral("%1 ms left, %2 before").arg(clock.remainingTime()).arg(remaining)));
    }

    void commandLineIsTheTextAndOneCR_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("initial text") << "ID"
                                      << "ID\r";
        QTest::newRow("empty text sends a lone CR") << ""
                                                    << "\r";
        QTest::newRow("spaces and case kept") << " id x "
                                              << " id x \r";
        QTest::newRow("no line feed added") << "a\nb"
                                            << "a\nb\r";
    }
    void commandLineIsTheTextAndOneCR()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        m_dialogue->sendCommand(text);
        QCOMPARE(m_comm->sent, QStringList {line});
        QVERIFY(m_dialogue->commandReplyDelay().Enabled());
        QCOMPARE(m_comm->calls, QStringList {"Output=" + line});
    }

    void secondOutWithinTheDelayIsReadWithTheFirst()
    {
        m_dialogue->sendCommand(QStringLiteral("ID"));
        m_dialogue->sendCommand(QStringLiteral("ID"));
        QCOMPARE(m_comm->sent, (QStringList {"ID\r", "ID\r"}));
        QVERIFY(m_dialogue->commandReplyDelay().Enabled());
        m_comm->receive(QStringLiteral("ID\rUC1\rID\rUC2\r"));
        m_dialogue->commandReplyDue();
        QVERIFY(!m_dialogue->commandReplyDelay().Enabled());
        QCOMPARE(response(), QStringLiteral("UC1\rID\rUC2\r"));
    }

    void pendingTextBeforeOutStartsTheScannedText()
    {
        m_comm->receive(QStringLiteral("old\rrest"));
        m_dialogue->sendCommand(QStringLiteral("ID"));
        m_comm->receive(QStringLiteral("ID\rUC\r"));
        m_dialogue->commandReplyDue();
        QCOMPARE(m_dialogue->replyBuffer(), QStringLiteral("old\rrestID\rUC\r"));
        QCOMPARE(response(), QStringLiteral("restID\rUC\r"));
    }

    void pollingTickTakesTheManualAnswer()
    {
        m_dialogue->sendCommand(QStringLiteral("ID"));
        m_comm->receive(QStringLiteral("ID\rUC1000-30GM-IUR2-K-V15\r"));
        m_dialogue->pollingTick();
        QCOMPARE(distance(), QStringLiteral("ID\rUC1000-30GM-IUR2-K-V15\r"));
        m_dialogue->commandReplyDue();
        QCOMPARE(response(), QStringLiteral("XXXXXX"));
    }

    void closedPortGivesXXXXXXWithoutAnError()
    {
        m_comm->setPortOpen(false);
        m_dialogue->pollingTick();
        m_dialogue->distanceReplyDue();
        m_dialogue->sendCommand(QStringLiteral("ID"));
        m_dialogue->commandReplyDue();
        QCOMPARE(distance(), QStringLiteral("XXXXXX"));
        QCOMPARE(response(), QStringLiteral("XXXXXX"));
        QVERIFY(m_comm->sent.isEmpty());
        QVERIFY(!m_dialogue->distanceReplyDelay().Enabled());
        QVERIFY(!m_dialogue->commandReplyDelay().Enabled());
    }

private:
    QString distance() const { return m_distance->constLast().constFirst().toString(); }
    QString response() const { return m_response->constLast().constFirst().toString(); }

    std::optional<FakeComm> m_comm;
    std::optional<SensorDialogue> m_dialogue;
    std::optional<QSignalSpy> m_distance;
    std::optional<QSignalSpy> m_response;
};

QTEST_GUILESS_MAIN(tst_SensorDialogue)
#include "tst_sensordialogue.moc"
