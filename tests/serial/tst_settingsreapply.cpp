#include "fakecomm.h"
#include "serial/settingsreapply.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

using namespace quadrelink;

Q_DECLARE_METATYPE(SettingsTexts)

// A choice in a settings box and the apply that follows, against a scripted
// control, with the operator's message captured.
class tst_SettingsReapply : public QObject
{
    Q_OBJECT

private slots:
    // What an operator turns on to read why a port stays red.
    void initTestCase() { QLoggingCategory::setFilterRules("quadrelink.serial.debug=true"); }

    void init()
    {
        m_comm.emplace();
        m_messages.clear();
        m_whileMessageOpen = nullptr;
        m_reapply.emplace(*m_comm, [this](const QString &message) {
            // What the indicator shows while the operator reads the message.
            m_shownUnderMessage = m_shown->isEmpty() ? -1 : int(m_shown->constLast()[0].toBool());
            m_messages << message;
            if (m_whileMessageOpen)
                m_whileMessageOpen();
        });
        m_shown.emplace(&*m_reapply, &SettingsReapply::portStateShown);
        m_reapply->OpenPortAndShowState();
        m_comm->calls.clear();
        m_shown->clear();
    }

    void aChoiceClosesThePortAndArmsTheApply_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("open port is closed") << true << QStringList {"PortOpen=false"};
        QTest::newRow("closed port: no close attempted") << false << QStringList {};
    }
    void aChoiceClosesThePortAndArmsTheApply()
    {
        QFETCH(bool, portOpen);
        QFETCH(QStringList, calls);
        if (!portOpen)
            m_comm->setPortOpen(false);
        m_comm->calls.clear();
        m_reapply->choose();
        QCOMPARE(m_comm->calls, calls);
        QVERIFY(m_reapply->applyDelay().Enabled());
        // The indicator changes only with the apply.
        QVERIFY(m_shown->isEmpty());
    }

    void apply_data()
    {
        QTest::addColumn<SettingsTexts>("texts");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<bool>>("shown");
        // The control's own reasons for each refusal, in the serial log.
        QTest::addColumn<QStringList>("logged");

        const SettingsTexts good {"2", "9600", "e", "7", "2"};
        QTest::newRow("port number and all four fields, reopened green")
            << good << true << QStringList {"CommPort=2", "Settings=9600,e,7,2", "PortOpen=true"}
            << QString() << QList<bool> {true} << QStringList {};
        QTest::newRow("failed reopen: red, no message, the reason logged")
            << good << false << QStringList {"CommPort=2", "Settings=9600,e,7,2", "PortOpen=true"}
            << QString() << QList<bool> {false} << QStringList {"cannot open"};
        QTest::newRow("letters for baud: message over red, then reopened")
            << SettingsTexts {"1", "abc", "n", "8", "1"} << true
            << QStringList {"CommPort=1", "Settings=abc,n,8,1", "PortOpen=true"} << "Недопустимо"
            << QList<bool> {false, true} << QStringList {"invalid settings"};
        QTest::newRow("port number no number: message, settings still written")
            << SettingsTexts {"abc", "1200", "n", "8", "1"} << true
            << QStringList {"Settings=1200,n,8,1", "PortOpen=true"} << "Недопустимо"
            << QList<bool> {false, true} << QStringList {};
        QTest::newRow("both wrong: one message, both reasons logged")
            << SettingsTexts {"-1", "x", "n", "8", "1"} << true
            << QStringList {"CommPort=-1", "Settings=x,n,8,1", "PortOpen=true"} << "Недопустимо"
            << QList<bool> {false, true} << QStringList {"invalid port number", "invalid settings"};
    }
    void apply()
    {
        QFETCH(SettingsTexts, texts);
        QFETCH(bool, opens);
        QFETCH(QStringList, calls);
        QFETCH(QString, message);
        QFETCH(QList<bool>, shown);
        QFETCH(QStringList, logged);
        m_reapply->choose();
        m_comm->calls.clear();
        m_comm->openSucceeds = opens;
        for (const QString &reason : logged)
            QTest::ignoreMessage(QtDebugMsg, qPrintable(reason));

        m_reapply->apply(texts);
        QCOMPARE(m_comm->calls, calls);
        QCOMPARE(m_messages, message.isEmpty() ? QStringList {} : QStringList {message});
        QList<bool> states;
        for (const auto &signal : *m_shown)
            states << signal[0].toBool();
        QCOMPARE(states, shown);
        if (!message.isEmpty())
            QCOMPARE(m_shownUnderMessage, 0);
        QVERIFY(!m_reapply->applyDelay().Enabled());
    }

    void oneMessageAtATime()
    {
        int ticksWhileOpen = 0;
        m_whileMessageOpen = [&] {
            // The box is modal, but timers still tick under it: the apply delay
            // is still enabled, and the operator may choose in another box.
            QVERIFY(m_reapply->applyDelay().Enabled());
            m_reapply->apply({"1", "abc", "n", "8", "1"});
            ++ticksWhileOpen;
            m_reapply->choose();
        };
        m_reapply->choose();
        m_reapply->apply({"1", "abc", "n", "8", "1"});
        QCOMPARE(ticksWhileOpen, 1);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_comm->calls.count(QStringLiteral("PortOpen=true")), 1);
        // The choice made under the box is applied once more afterwards.
        QVERIFY(m_reapply->applyDelay().Enabled());
        QVERIFY(!m_comm->PortOpen());
        m_whileMessageOpen = nullptr;
        m_reapply->apply({"1", "4800", "n", "8", "1"});
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_comm->Settings(), QStringLiteral("4800,n,8,1"));
        QVERIFY(m_comm->PortOpen());
        QVERIFY(!m_reapply->applyDelay().Enabled());
    }

    void deviceLossShowsClosedWithoutReopening()
    {
        m_comm->loseDevice();
        QCOMPARE(m_shown->size(), 1);
        QCOMPARE(m_shown->constFirst()[0].toBool(), false);
        QVERIFY(m_comm->calls.isEmpty());
    }

private:
    std::optional<FakeComm> m_comm;
    std::optional<SettingsReapply> m_reapply;
    std::optional<QSignalSpy> m_shown;
    QStringList m_messages;
    int m_shownUnderMessage = -1;
    std::function<void()> m_whileMessageOpen;
};

QTEST_GUILESS_MAIN(tst_SettingsReapply)
#include "tst_settingsreapply.moc"
