#include "app/form1.h"
#include "fakewindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quadrelink;

namespace {

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

// The polling cycle and the operator's command with the timers driven by
// direct calls, against a scripted control.
class tst_Dialogue : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_form = openFakeWindow(m_comm);
        m_comm->calls.clear();
    }
    void cleanup() { m_form.reset(); }

    void tickSendsTheQueryAndTheReplyIsShown()
    {
        m_form->Timer1_Timer();
        QCOMPARE(m_comm->sent, QStringList {"ad\r"});
        QCOMPARE(label2(), QString());
        QVERIFY(m_form->timer(3).Enabled());

        m_comm->receive(QStringLiteral("ad\r0523\r"));
        m_form->Timer3_Timer();
        QCOMPARE(label2(), QStringLiteral("0523"));
        QCOMPARE(m_form->replyBuffer(), QStringLiteral("ad\r0523\r"));
        QVERIFY(!m_form->timer(3).Enabled());
        QCOMPARE(m_comm->calls, (QStringList {"Input", "Output=ad\r", "Input"}));
    }

    void noAnswerShowsXXXXXX_data()
    {
        QTest::addColumn<QString>("received");
        QTest::newRow("nothing came") << "";
        QTest::newRow("answer without CR") << "0523";
    }
    void noAnswerShowsXXXXXX()
    {
        QFETCH(QString, received);
        m_form->Timer1_Timer();
        m_comm->receive(received);
        m_form->Timer3_Timer();
        QCOMPARE(label2(), QStringLiteral("XXXXXX"));
    }

    void pendingTextShownAtTheTickThenReplaced()
    {
        m_comm->receive(QStringLiteral("late\r"));
        m_form->Timer1_Timer();
        QCOMPARE(label2(), QStringLiteral("late"));
        m_comm->receive(QStringLiteral("ad\r0600\r"));
        m_form->Timer3_Timer();
        QCOMPARE(label2(), QStringLiteral("0600"));
    }

    void runTwiceRunsOneCycle()
    {
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        m_form->controls().Command1->click();
        QVERIFY(m_form->timer(1).Enabled());
        QTest::qWait(150);
        m_form->controls().Command1->click();
        // Had the second click restarted the clock, the first tick would come
        // 350 ms after the first click; it comes after 200.
        QTRY_COMPARE_WITH_TIMEOUT(m_comm->sent.size(), 1, 2000);
        QVERIFY2(sinceFirst.elapsed() < 330, qPrintable(QString::number(sinceFirst.elapsed())));
        m_form->controls().Command2->click();
    }

    void stopBetweenTickAndReplyStillShowsTheReply()
    {
        m_form->Command1_Click();
        m_form->Timer1_Timer();
        m_form->controls().Command2->click();
        QVERIFY(!m_form->timer(1).Enabled());
        QVERIFY(m_form->timer(3).Enabled());
        m_comm->receive(QStringLiteral("ad\r0777\r"));
        QTRY_COMPARE(label2(), QStringLiteral("0777"));
        QVERIFY(!m_form->timer(3).Enabled());
        QCOMPARE(m_comm->sent.size(), 1);
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
        m_form->controls().Text1->setText(text);
        m_form->Command3_Click();
        QCOMPARE(m_comm->sent, QStringList {line});
        QVERIFY(m_form->timer(4).Enabled());
        QCOMPARE(m_form->controls().Text1->text(), text);
    }

    void commandReplyShownInLabel6()
    {
        QCOMPARE(label6(), QStringLiteral("UC1000-30GM-IUR2-K-V15"));
        m_form->Command3_Click();
        m_comm->receive(QStringLiteral("ID\rUC1000-30GM-IUR2-K-V15\r"));
        m_form->Timer4_Timer();
        QCOMPARE(label6(), QStringLiteral("UC1000-30GM-IUR2-K-V15"));
        QVERIFY(!m_form->timer(4).Enabled());
        m_form->Command3_Click();
        m_form->Timer4_Timer();
        QCOMPARE(label6(), QStringLiteral("XXXXXX"));
    }

    void secondOutWithinTheDelayIsReadOnceAfterTheFirst()
    {
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        m_form->controls().Command3->click();
        QTest::qWait(100);
        m_form->controls().Command3->click();
        QCOMPARE(m_comm->sent, (QStringList {"ID\r", "ID\r"}));
        m_comm->receive(QStringLiteral("ID\rUC1\rID\rUC2\r"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->timer(4).Enabled(), 2000);
        // A restarted delay would have read 250 ms after the first click.
        QVERIFY2(sinceFirst.elapsed() < 240, qPrintable(QString::number(sinceFirst.elapsed())));
        QCOMPARE(m_comm->calls.count(QStringLiteral("Input")), 1);
        QCOMPARE(label6(), QStringLiteral("UC1\nID\nUC2"));
    }

    void pendingTextBeforeOutStartsTheScannedText()
    {
        m_comm->receive(QStringLiteral("old\rrest"));
        m_form->Command3_Click();
        m_comm->receive(QStringLiteral("ID\rUC\r"));
        m_form->Timer4_Timer();
        QCOMPARE(m_form->replyBuffer(), QStringLiteral("old\rrestID\rUC\r"));
        QCOMPARE(label6(), QStringLiteral("restID\nUC"));
    }

    void pollingTickTakesTheManualAnswer()
    {
        m_form->Command3_Click();
        m_comm->receive(QStringLiteral("ID\rUC1000-30GM-IUR2-K-V15\r"));
        m_form->Timer1_Timer();
        QCOMPARE(label2(), QStringLiteral("ID\nUC1000-30GM-IUR2-K-V15"));
        m_form->Timer4_Timer();
        QCOMPARE(label6(), QStringLiteral("XXXXXX"));
    }

    // Readings arrive five times a second for as long as the window is open; a
    // label that asked for a new layout with each of them would have the whole
    // window laid out again every 100 ms.
    void readingsRequestNoLayout_data()
    {
        QTest::addColumn<QString>("received");
        QTest::newRow("distance") << "ad\r0523\r";
        QTest::newRow("no answer") << "";
        QTest::newRow("identity, wider than the readout") << "ad\rUC1000-30GM-IUR2-K-V15\r";
        QTest::newRow("several answers, several lines") << "ad\r0523\rad\r0524\rad\r0525\r";
    }
    void readingsRequestNoLayout()
    {
        QFETCH(QString, received);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QCoreApplication::sendPostedEvents();

        LayoutRequestCounter layouts(m_form.get());
        for (int cycle = 0; cycle < 3; ++cycle) {
            m_form->Timer1_Timer();
            QCoreApplication::sendPostedEvents();
            m_comm->receive(received);
            m_form->Timer3_Timer();
            QCoreApplication::sendPostedEvents();
            m_form->Command3_Click();
            m_comm->receive(received);
            m_form->Timer4_Timer();
            QCoreApplication::sendPostedEvents();
        }
        QCOMPARE(layouts.count, 0);
    }

    void closedPortGivesXXXXXXWithoutAnError()
    {
        m_comm->setPortOpen(false);
        m_comm->calls.clear();
        m_form->Timer1_Timer();
        m_form->Timer3_Timer();
        m_form->Command3_Click();
        m_form->Timer4_Timer();
        QCOMPARE(label2(), QStringLiteral("XXXXXX"));
        QCOMPARE(label6(), QStringLiteral("XXXXXX"));
        QVERIFY(m_comm->sent.isEmpty());
        QVERIFY(!m_form->timer(3).Enabled());
        QVERIFY(!m_form->timer(4).Enabled());
    }

private:
    QString label2() const { return m_form->controls().Label2->text(); }
    QString label6() const { return m_form->controls().Label6->text(); }

    FakeComm *m_comm = nullptr;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(tst_Dialogue)
#include "tst_dialogue.moc"
