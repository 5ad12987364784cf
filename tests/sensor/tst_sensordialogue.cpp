#include "fakecomm.h"
#include "sensor/sensordialogue.h"

#include <QTest>

using quadrelink::SensorDialogue;

class tst_SensorDialogue : public QObject
{
    Q_OBJECT

private slots:
    void readAnswerKeepsEverythingInReplyBuffer()
    {
        FakeComm comm;
        comm.setPortOpen(true);
        SensorDialogue dialogue(comm);
        const QString received = QString::fromLatin1("ad\r0523\r\0\xff", 10);
        comm.receive(received);
        QCOMPARE(dialogue.readAnswer(), received.mid(3));
        QCOMPARE(dialogue.replyBuffer(), received);
        QVERIFY(comm.pending().isEmpty());
        // The next read overwrites it, also with nothing.
        QCOMPARE(dialogue.readAnswer(), QStringLiteral("XXXXXX"));
        QCOMPARE(dialogue.replyBuffer(), QString());
    }

    void closedPortReadsAsNoAnswerAndSendsNothing()
    {
        FakeComm comm;
        SensorDialogue dialogue(comm);
        dialogue.send(SensorDialogue::distanceQuery);
        QVERIFY(comm.sent.isEmpty());
        QCOMPARE(dialogue.takePending(), QString());
        QCOMPARE(dialogue.readAnswer(), QStringLiteral("XXXXXX"));
        QCOMPARE(comm.calls, (QStringList {"Output=ad\r", "Input", "Input"}));
    }

    void sendsLinesUnchanged()
    {
        FakeComm comm;
        comm.setPortOpen(true);
        SensorDialogue dialogue(comm);
        dialogue.send(SensorDialogue::distanceQuery);
        dialogue.send(QStringLiteral("\r"));
        QCOMPARE(comm.sent, (QStringList {"ad\r", "\r"}));
    }
};

QTEST_GUILESS_MAIN(tst_SensorDialogue)
#include "tst_sensordialogue.moc"
