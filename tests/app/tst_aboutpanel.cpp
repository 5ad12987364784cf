#include "app/form1.h"
#include "fakewindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace quadrelink;

class tst_AboutPanel : public QObject
{
    Q_OBJECT

private slots:
    void init() { showFakeWindow(m_form, m_comm); }
    void cleanup() { m_form.reset(); }

    void aboutTogglesThePanel()
    {
        QVERIFY(panel()->isHidden());
        m_form->controls().mnu_prog->trigger();
        QVERIFY(panel()->isVisible());
        m_form->controls().mnu_prog->trigger();
        QVERIFY(panel()->isHidden());
    }

    void clicksThatHideThePanel_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("hides");
        QTest::newRow("port frame surface") << "Frame1_0" << QPoint(8, 150) << true;
        QTest::newRow("port frame title line") << "Frame1_0" << QPoint(170, 4) << true;
        QTest::newRow("panel surface") << "Frame1_1" << QPoint(5, 250) << true;
        QTest::newRow("logo") << "Image2" << QPoint(40, 40) << true;
        QTest::newRow("maker text") << "Text9" << QPoint(40, 40) << true;
        QTest::newRow("terms text") << "Text8" << QPoint(40, 40) << false;
        QTest::newRow("box in the port frame") << "Combo1_1" << QPoint(10, 10) << false;
        QTest::newRow("label in the port frame") << "Label1_1" << QPoint(10, 5) << false;
    }
    void clicksThatHideThePanel()
    {
        QFETCH(QString, target);
        QFETCH(QPoint, at);
        QFETCH(bool, hides);
        m_form->mnu_prog_Click();
        QVERIFY(panel()->isVisible());
        auto *widget = m_form->findChild<QWidget *>(target);
        QVERIFY(widget);
        if (auto *text = qobject_cast<QPlainTextEdit *>(widget))
            widget = text->viewport();
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
        QCOMPARE(panel()->isHidden(), hides);
    }

    void frameClickOnAHiddenPanelChangesNothing()
    {
        QTest::mouseClick(m_form->controls().Frame1[0], Qt::LeftButton, {}, QPoint(8, 150));
        QVERIFY(panel()->isHidden());
    }

    void panelCoversTheReadoutButNotThePortFrame()
    {
        m_form->mnu_prog_Click();
        QWidget *client = m_form->controls().client;
        const auto under = [&](QWidget *w) { return client->childAt(w->geometry().center()); };
        for (QWidget *covered : {static_cast<QWidget *>(m_form->controls().Command1),
                                 static_cast<QWidget *>(m_form->controls().Label2),
                                 static_cast<QWidget *>(m_form->controls().Text1)})
            QVERIFY(panel()->isAncestorOf(under(covered)) || under(covered) == panel());
        QCOMPARE(client->childAt(QPoint(600, 190)), m_form->controls().Label6);
        QVERIFY(!panel()->isAncestorOf(client->childAt(QPoint(600, 60))));
    }

    void tabReachesTermsOnlyWhileShown_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("hidden") << false;
        QTest::newRow("shown") << true;
    }
    void tabReachesTermsOnlyWhileShown()
    {
        QFETCH(bool, shown);
        if (shown)
            m_form->mnu_prog_Click();
        m_form->controls().Combo1[0]->setFocus();
        QSet<QWidget *> reached;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget();
        }
        QCOMPARE(reached.contains(m_form->controls().Text8), shown);
        QVERIFY(!reached.contains(m_form->controls().Text9));
        // The covered controls stay in the sequence.
        QVERIFY(reached.contains(m_form->controls().Text1));
    }

    void panelLeavesPortAndTimersAlone()
    {
        m_form->Command1_Click();
        m_comm->calls.clear();
        m_form->mnu_prog_Click();
        m_form->Image2_Click();
        m_form->mnu_prog_Click();
        m_form->Frame1_Click(1);
        QVERIFY(m_comm->calls.isEmpty());
        QVERIFY(m_form->timer(1).Enabled());
    }

private:
    QGroupBox *panel() const { return m_form->controls().Frame1[1]; }

    FakeComm *m_comm = nullptr;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(tst_AboutPanel)
#include "tst_aboutpanel.moc"
