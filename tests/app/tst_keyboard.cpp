#include "app/form1.h"
#include "fakewindow.h"
#include "sensor/sensordialogue.h"
#include "widgethelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

using namespace quadrelink;

namespace {

// A key as the keyboard delivers it: to whatever has the focus.
void press(Qt::Key key)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, key);
}

void type(const QString &text)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClicks(target, text);
}

} // namespace

// The window operated with the keyboard alone, from start-up, against a
// scripted serial control; timers run for real.
class tst_Keyboard : public QObject
{
    Q_OBJECT

private slots:
    void init() { showFakeWindow(m_form, m_comm); }
    void cleanup() { m_form.reset(); }

    void arrowKeysChooseInEachSettingsBox_data()
    {
        QTest::addColumn<int>("tabs");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("box");
        QTest::addColumn<qint16>("port");
        QTest::addColumn<QString>("settings");
        QTest::newRow("port number, down")
            << 0 << Qt::Key_Down << "Combo1_0" << qint16(2) << "1200,n,8,1";
        QTest::newRow("baud rate, up") << 1 << Qt::Key_Up << "Combo1_1" << qint16(1) << "600,n,8,1";
        QTest::newRow("parity, down")
            << 2 << Qt::Key_Down << "Combo1_2" << qint16(1) << "1200,e,8,1";
        QTest::newRow("data bits, up")
            << 3 << Qt::Key_Up << "Combo1_3" << qint16(1) << "1200,n,7,1";
        QTest::newRow("stop bits, down")
            << 4 << Qt::Key_Down << "Combo1_4" << qint16(1) << "1200,n,8,2";
    }
    void arrowKeysChooseInEachSettingsBox()
    {
        QFETCH(int, tabs);
        QFETCH(Qt::Key, key);
        QFETCH(QString, box);
        QFETCH(qint16, port);
        QFETCH(QString, settings);
        for (int i = 0; i < tabs; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(focusedControl(), box);

        press(key);
        // The choice closes the port at once and applies 100 ms later.
        QCOMPARE(m_comm->calls, QStringList {"PortOpen=false"});
        QTRY_VERIFY(m_comm->PortOpen());
        QCOMPARE(m_comm->CommPort(), port);
        QCOMPARE(m_comm->Settings(), settings);
        QCOMPARE(focusedControl(), box);
    }

    void pollingAndCommandFromTheKeyboardAlone()
    {
        // Settings: on to the baud rate and one step down the list.
        QCOMPARE(focusedControl(), QStringLiteral("Combo1_0"));
        press(Qt::Key_Tab);
        press(Qt::Key_Down);
        QTRY_COMPARE(m_comm->Settings(), QStringLiteral("2400,n,8,1"));
        QVERIFY(m_comm->PortOpen());

        // "Run" after the remaining three boxes.
        for (int i = 0; i < 4; ++i)
            press(Qt::Key_Tab);
        QCOMPARE(focusedControl(), QStringLiteral("Command1"));
        press(Qt::Key_Space);
        QVERIFY(m_form->timer(1).Enabled());
        QTRY_VERIFY(m_comm->sent.contains(SensorDialogue::distanceQuery));

        press(Qt::Key_Tab);
        QCOMPARE(focusedControl(), QStringLiteral("Command2"));
        press(Qt::Key_Space);
        QVERIFY(!m_form->timer(1).Enabled());
        // The last query's reply delay still ends with its read; an answer
        // arriving before it would be shown as the distance.
        QTRY_VERIFY(!m_form->timer(3).Enabled());

        // Tabbing into the command box selects its text, so typing replaces it.
        press(Qt::Key_Tab);
        QCOMPARE(focusedControl(), QStringLiteral("Text1"));
        type(QStringLiteral("SN"));
        QCOMPARE(m_form->controls().Text1->text(), QStringLiteral("SN"));

        press(Qt::Key_Tab);
        QCOMPARE(focusedControl(), QStringLiteral("Command3"));
        m_comm->sent.clear();
        press(Qt::Key_Space);
        QCOMPARE(m_comm->sent, QStringList {"SN\r"});
        QVERIFY(m_form->timer(4).Enabled());
        m_comm->receive(QStringLiteral("SN\r12345\r"));
        QTRY_COMPARE(m_form->controls().Label6->text(), QStringLiteral("12345"));

        // Alt opens the menu bar, and stays open when a screen reader's bridge
        // delivers its copies of the press and release afterwards (to the
        // widget the keys went to, without their time); Return shows About.
        QWidget *out = QApplication::focusWidget();
        QTest::keyPress(out, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(out, Qt::Key_Alt);
        QVERIFY(m_form->menuBar()->hasFocus());
        QCoreApplication::postEvent(out,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier));
        QCoreApplication::postEvent(out, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Alt, {}));
        QCoreApplication::sendPostedEvents();
        QVERIFY(m_form->menuBar()->hasFocus());
        press(Qt::Key_Return);
        QVERIFY(m_form->controls().Frame1[1]->isVisible());
    }

private:
    FakeComm *m_comm = nullptr;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
