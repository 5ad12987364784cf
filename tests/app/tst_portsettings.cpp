#include "app/form1.h"
#include "app/shape.h"
#include "fakewindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>

using namespace quadrelink;

// Choices in the settings boxes and the apply that follows, against a
// scripted control, with the message box captured.
class tst_PortSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Form1Environment environment;
        environment.messageBox = [this](QWidget *owner, const QString &text) {
            m_messages << text;
            QCOMPARE(owner, m_form.get());
            if (m_whileMessageOpen)
                m_whileMessageOpen();
        };
        m_form = openFakeWindow(m_comm, std::move(environment));
        m_comm->calls.clear();
        m_messages.clear();
        m_whileMessageOpen = nullptr;
    }
    void cleanup() { m_form.reset(); }

    void everyBoxLeadsToTheFullApply_data()
    {
        QTest::addColumn<int>("box");
        for (int box = 0; box < 5; ++box)
            QTest::addRow("Combo1(%d)", box) << box;
    }
    void everyBoxLeadsToTheFullApply()
    {
        QFETCH(int, box);
        combo(0)->setEditText(QStringLiteral("2"));
        combo(1)->setEditText(QStringLiteral("9600"));
        combo(2)->setEditText(QStringLiteral("e"));
        combo(3)->setEditText(QStringLiteral("7"));
        combo(4)->setEditText(QStringLiteral("2"));
        // A choice of the entry already shown counts as well.
        emit combo(box)->activated(combo(box)->currentIndex());
        QCOMPARE(m_comm->calls, QStringList {"PortOpen=false"});
        QVERIFY(m_form->timer(2).Enabled());

        m_form->Timer2_Timer();
        QCOMPARE(
            m_comm->calls,
            (QStringList {"PortOpen=false", "CommPort=2", "Settings=9600,e,7,2", "PortOpen=true"}));
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!m_form->timer(2).Enabled());
        QCOMPARE(shape(), form::green);
    }

    void initialTextsApplyTheInitialSettings()
    {
        m_form->Combo1_Click(0);
        m_form->Timer2_Timer();
        QCOMPARE(m_comm->CommPort(), qint16(1));
        QCOMPARE(m_comm->Settings(), QStringLiteral("1200,n,8,1"));
    }

    void refusedSettingsReportOnceThenReopen_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::newRow("letters for baud") << "1"
                                          << "abc";
        QTest::newRow("port number not a number") << "abc"
                                                  << "1200";
        QTest::newRow("port number 0") << "0"
                                       << "1200";
        QTest::newRow("both wrong") << "-1"
                                    << "x";
    }
    void refusedSettingsReportOnceThenReopen()
    {
        QFETCH(QString, port);
        QFETCH(QString, baud);
        combo(0)->setEditText(port);
        combo(1)->setEditText(baud);
        m_form->Combo1_Click(1);
        m_form->Timer2_Timer();
        QCOMPARE(m_messages, QStringList {QStringLiteral("Недопустимо")});
        QCOMPARE(m_comm->calls.last(), QStringLiteral("PortOpen=true"));
        QCOMPARE(shape(), form::green);
        QCOMPARE(m_comm->CommPort(), qint16(1));
    }

    void failedReopenShowsRedWithoutMessage()
    {
        m_comm->openSucceeds = false;
        m_form->Combo1_Click(0);
        m_form->Timer2_Timer();
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(shape(), form::red);
    }

    void choiceWhileClosedAttemptsNoClose()
    {
        m_comm->setPortOpen(false);
        m_comm->calls.clear();
        m_form->Combo1_Click(3);
        QVERIFY(m_comm->calls.isEmpty());
        QVERIFY(m_form->timer(2).Enabled());
        m_form->Timer2_Timer();
        QCOMPARE(m_comm->calls.last(), QStringLiteral("PortOpen=true"));
    }

    void furtherChoicesLeadToOneApplyOfTheLatestTexts()
    {
        m_form->Combo1_Click(0);
        combo(1)->setEditText(QStringLiteral("19200"));
        m_form->Combo1_Click(1);
        QCOMPARE(m_comm->calls, QStringList {"PortOpen=false"});
        QTRY_VERIFY(!m_form->timer(2).Enabled());
        QCOMPARE(m_comm->calls.count(QStringLiteral("PortOpen=true")), 1);
        QCOMPARE(m_comm->Settings(), QStringLiteral("19200,n,8,1"));
    }

    void oneMessageBoxAtATime()
    {
        combo(1)->setEditText(QStringLiteral("abc"));
        int ticksWhileOpen = 0;
        m_whileMessageOpen = [&] {
            // The box is modal, but timers still tick under it: Timer2 is still
            // enabled, and the operator may choose in another box.
            QVERIFY(m_form->timer(2).Enabled());
            m_form->Timer2_Timer();
            ++ticksWhileOpen;
            combo(1)->setEditText(QStringLiteral("4800"));
            m_form->Combo1_Click(1);
        };
        m_form->Combo1_Click(1);
        m_form->Timer2_Timer();
        QCOMPARE(ticksWhileOpen, 1);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_comm->calls.count(QStringLiteral("PortOpen=true")), 1);
        // The choice made under the box is applied once more afterwards.
        QVERIFY(m_form->timer(2).Enabled());
        QVERIFY(!m_comm->PortOpen());
        m_whileMessageOpen = nullptr;
        m_form->Timer2_Timer();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_comm->Settings(), QStringLiteral("4800,n,8,1"));
        QVERIFY(m_comm->PortOpen());
        QVERIFY(!m_form->timer(2).Enabled());
    }

    void typingEnterAndFocusChangesApplyNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("finish");
        QTest::newRow("text not in the list, Return") << "12345" << int(Qt::Key_Return);
        QTest::newRow("list item, Return") << "9600" << int(Qt::Key_Return);
        QTest::newRow("list item, Enter") << "9600" << int(Qt::Key_Enter);
        QTest::newRow("list item, Tab away") << "9600" << int(Qt::Key_Tab);
        QTest::newRow("list item, Escape") << "9600" << int(Qt::Key_Escape);
    }
    void typingEnterAndFocusChangesApplyNothing()
    {
        QFETCH(QString, typed);
        QFETCH(int, finish);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QComboBox *box = combo(1);
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), typed);
        QTest::keyClick(box->lineEdit(), Qt::Key(finish));
        // Leaving the box, and closing the window, are no choices either.
        m_form->controls().Text1->setFocus();
        QCOMPARE(box->count(), 13);
        QCOMPARE(box->currentText(), typed);
        QVERIFY(!m_form->timer(2).Enabled());
        m_form->close();
        QVERIFY(!m_form->timer(2).Enabled());
        QCOMPARE(m_comm->calls, QStringList {"PortOpen=false"});
    }

    void arrowKeysChooseAndApply()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QComboBox *box = combo(1);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), QStringLiteral("2400"));
        QVERIFY(m_form->timer(2).Enabled());
        QTRY_VERIFY(!m_form->timer(2).Enabled());
        QCOMPARE(m_comm->Settings(), QStringLiteral("2400,n,8,1"));
    }

private:
    QComboBox *combo(int i) const { return m_form->controls().Combo1[i]; }
    form::Colour shape() const { return m_form->controls().Shape1->BackColor(); }

    FakeComm *m_comm = nullptr;
    std::unique_ptr<Form1> m_form;
    QStringList m_messages;
    std::function<void()> m_whileMessageOpen;
};

QTEST_MAIN(tst_PortSettings)
#include "tst_portsettings.moc"
