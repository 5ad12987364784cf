#include "app/form1.h"
#include "app/shape.h"
#include "fakewindow.h"
#include "sensor/sensordialogue.h"
#include "widgethelpers.h"

#include <QPushButton>
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

// Counts the layout requests that reach the widgets of one window.
class LayoutRequestCounter final : public QObject
{
public:
    explicit LayoutRequestCounter(QWidget *window)
        : m_window(window)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~LayoutRequestCounter() override { QCoreApplication::instance()->removeEventFilter(this); }

    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest && watched->isWidgetType()
            && (watched == m_window || m_window->isAncestorOf(static_cast<QWidget *>(watched))))
            ++count;
        return false;
    }

private:
    QWidget *m_window;
};

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

    // The buttons and timers reach the sensor dialogue, and what it hands back
    // lands in the readouts as the operator reads it.
    void dialogueWiring()
    {
        auto [comm, form] = start();
        const FormControls &controls = form->controls();
        comm->calls.clear();
        controls.Command1->click();
        QVERIFY(form->timer(1).Enabled());
        comm->receive(QStringLiteral("late\r"));
        form->Timer1_Timer();
        QCOMPARE(controls.Label2->text(), QStringLiteral("late"));
        comm->receive(SensorDialogue::distanceQuery + QStringLiteral("ID\r\nUC1000\r"));
        form->Timer3_Timer();
        // Line ends at the end are not shown; inside they start a new line.
        QCOMPARE(controls.Label2->text(), QStringLiteral("ID\nUC1000"));
        controls.Command2->click();
        QVERIFY(!form->timer(1).Enabled());

        controls.Text1->setText(QStringLiteral("OD"));
        controls.Command3->click();
        QVERIFY(form->timer(4).Enabled());
        comm->receive(QStringLiteral("OD\r0400\r"));
        form->Timer4_Timer();
        QCOMPARE(controls.Label6->text(), QStringLiteral("0400"));
        QCOMPARE(comm->sent, (QStringList {SensorDialogue::distanceQuery, "OD\r"}));
        QCOMPARE(form->replyBuffer(), QStringLiteral("OD\r0400\r"));
    }

    // Readings arrive five times a second for as long as the window is open; a
    // label that asked for a new layout with each of them would have the whole
    // window laid out again every 100 ms.
    void readingsRequestNoLayout_data()
    {
        QTest::addColumn<QString>("received");
        // The sensor echoes the query before its answer.
        const QString echo = SensorDialogue::distanceQuery;
        QTest::newRow("distance") << echo + "0523\r";
        QTest::newRow("no answer") << "";
        QTest::newRow("identity, wider than the readout") << echo + "UC1000-30GM-IUR2-K-V15\r";
        QTest::newRow("several answers, several lines")
            << echo + "0523\r" + echo + "0524\r" + echo + "0525\r";
    }
    void readingsRequestNoLayout()
    {
        QFETCH(QString, received);
        auto [comm, form] = start();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::sendPostedEvents();

        LayoutRequestCounter layouts(form.get());
        for (int cycle = 0; cycle < 3; ++cycle) {
            form->Timer1_Timer();
            QCoreApplication::sendPostedEvents();
            comm->receive(received);
            form->Timer3_Timer();
            QCoreApplication::sendPostedEvents();
            form->Command3_Click();
            comm->receive(received);
            form->Timer4_Timer();
            QCoreApplication::sendPostedEvents();
        }
        QCOMPARE(layouts.count, 0);
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
