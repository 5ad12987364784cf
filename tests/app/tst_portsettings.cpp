#include "app/form1.h"
#include "app/shape.h"
#include "fakewindow.h"
#include "widgethelpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

using namespace quadrelink;

// The five settings boxes as the operator uses them: which gestures are a
// choice that applies the settings, and what the window shows of the apply.
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
            // The port is closed while the message waits: so says the circle.
            QCOMPARE(shape(), form::red);
        };
        m_form = openFakeWindow(m_comm, std::move(environment));
        m_comm->calls.clear();
        m_messages.clear();
    }
    void cleanup() { m_form.reset(); }

    void everyBoxAppliesAllFiveTexts_data()
    {
        QTest::addColumn<int>("box");
        for (int box = 0; box < 5; ++box)
            QTest::addRow("Combo1(%d)", box) << box;
    }
    void everyBoxAppliesAllFiveTexts()
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
        QTRY_VERIFY(!m_form->timer(2).Enabled());
        QCOMPARE(
            m_comm->calls,
            (QStringList {"PortOpen=false", "CommPort=2", "Settings=9600,e,7,2", "PortOpen=true"}));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(shape(), form::green);
    }

    void refusedSettingsShowTheMessageThenGreen()
    {
        combo(1)->setEditText(QStringLiteral("abc"));
        m_form->Combo1_Click(1);
        m_form->Timer2_Timer();
        QCOMPARE(m_messages, QStringList {QStringLiteral("Недопустимо")});
        QCOMPARE(shape(), form::green);
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

    // The arrow keys and the wheel choose in the focused box as the list does;
    // the wheel over a box without the focus does nothing at all.
    void keysAndWheel_data()
    {
        QTest::addColumn<bool>("wheel");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("arrow key in the focused box") << false << true << "2400";
        QTest::newRow("wheel over the focused box") << true << true << "2400";
        QTest::newRow("wheel over a box without focus") << true << false << "1200";
    }
    void keysAndWheel()
    {
        QFETCH(bool, wheel);
        QFETCH(bool, focused);
        QFETCH(QString, chosen);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QComboBox *box = combo(1);
        (focused ? static_cast<QWidget *>(box) : m_form->controls().Text1)->setFocus();
        if (wheel) {
            const QPointF at = box->rect().center();
            // One notch down, as a mouse wheel sends it.
            QWheelEvent notch(at, box->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(box, &notch);
        } else {
            QTest::keyClick(box, Qt::Key_Down);
        }
        QCOMPARE(box->currentText(), chosen);
        QCOMPARE(focusedControl(), focused ? "Combo1_1" : "Text1");
        if (!focused) {
            QVERIFY(!m_form->timer(2).Enabled());
            QCOMPARE(m_comm->calls, QStringList {});
            return;
        }
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
};

QTEST_MAIN(tst_PortSettings)
#include "tst_portsettings.moc"
