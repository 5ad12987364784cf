#include "app/form1.h"
#include "app/shape.h"
#include "fakewindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

using namespace quadrelink;

namespace {

struct Started
{
    FakeComm *comm = nullptr;
    std::unique_ptr<Form1> form;
};

Started start(bool portOpens = true)
{
    Form1Environment environment;
    environment.today = [] { return QDate(2026, 12, 6); };
    environment.regional
        = {QStringLiteral("dd.MM.yyyy"), QLocale(QLocale::English, QLocale::UnitedKingdom)};
    Started started;
    started.form = openFakeWindow(started.comm, std::move(environment), portOpens);
    return started;
}

// The named control that has the focus (an editable box's text field counts
// as the box).
QString focusedControl()
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"))
            return w->objectName();
    return {};
}

} // namespace

class tst_Form1 : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data()
    {
        QTest::addColumn<bool>("portOpens");
        QTest::addColumn<form::Colour>("indicator");
        QTest::newRow("port available: green") << true << form::green;
        QTest::newRow("port absent or busy: red") << false << form::red;
    }
    void startUp()
    {
        QFETCH(bool, portOpens);
        QFETCH(form::Colour, indicator);
        auto [comm, form] = start(portOpens);

        // The port opens with the control's own initial settings: nothing is
        // written to it first.
        QCOMPARE(comm->calls, QStringList {"PortOpen=true"});
        QCOMPARE(comm->PortOpen(), portOpens);
        QCOMPARE(form->controls().Shape1->BackColor(), indicator);
        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Velmorantix       Quadrelink v.1.00             "
                                "Today:06.12.2026   Sunday"));
        QVERIFY(form->controls().Text9->toPlainText().startsWith(QStringLiteral("Velmorantix")));
        QVERIFY(form->controls().Text8->toPlainText().contains(QStringLiteral("6. ")));
        for (int timer = 1; timer <= 4; ++timer)
            QVERIFY(!form->timer(timer).Enabled());
        QVERIFY(form->controls().Frame1[1]->isHidden());
        QVERIFY(!form->windowIcon().isNull());
    }

    void deviceLossTurnsTheIndicatorRedAndPollingGoesOn()
    {
        auto [comm, form] = start();
        form->Command1_Click();
        comm->calls.clear();
        comm->loseDevice();
        QCOMPARE(form->controls().Shape1->BackColor(), form::red);
        // No reopen is attempted behind the operator's back.
        QVERIFY(comm->calls.isEmpty());
        QVERIFY(form->timer(1).Enabled());
        form->Timer1_Timer();
        form->Timer3_Timer();
        QCOMPARE(form->controls().Label2->text(), QStringLiteral("XXXXXX"));
    }

    void timerIntervals()
    {
        auto [comm, form] = start();
        QCOMPARE(form->timer(1).Interval(), 200);
        QCOMPARE(form->timer(2).Interval(), 100);
        QCOMPARE(form->timer(3).Interval(), 50);
        QCOMPARE(form->timer(4).Interval(), 150);
    }

    void closingClosesAnOpenPortOnly_data()
    {
        QTest::addColumn<bool>("portOpens");
        QTest::addColumn<QStringList>("callsOnClose");
        QTest::newRow("open port is closed") << true << QStringList {"PortOpen=false"};
        QTest::newRow("closed port is left alone") << false << QStringList {};
    }
    void closingClosesAnOpenPortOnly()
    {
        QFETCH(bool, portOpens);
        QFETCH(QStringList, callsOnClose);
        auto [comm, form] = start(portOpens);
        comm->calls.clear();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->close());
        QCOMPARE(comm->calls, callsOnClose);
        QVERIFY(!comm->PortOpen());
    }

    void focusStartsInThePortBoxAndTabFollowsTheDesign()
    {
        auto [comm, form] = start();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(focusedControl(), QStringLiteral("Combo1_0"));

        // Frames, labels and the About texts never take the focus; Text8 is
        // hidden with the About panel.
        const QStringList expected {"Combo1_1", "Combo1_2", "Combo1_3", "Combo1_4", "Command1",
                                    "Command2", "Text1",    "Command3", "Combo1_0"};
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focusedControl();
        }
        QCOMPARE(visited, expected);
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_form1.moc"
