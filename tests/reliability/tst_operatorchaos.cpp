#include "app/shape.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

using namespace quadrelink;

// A seeded sequence of a few thousand operator actions on the real window
// against simulated sensors: any text in any box, any command, any order of
// clicks and choices. Nothing may crash or hang, at most one message box may
// be open at a time, and once an apply has run the indicator shows the port's
// real state. QUADRELINK_CHAOS_SEED and QUADRELINK_CHAOS_ACTIONS override the
// defaults.
class tst_OperatorChaos : public QObject
{
    Q_OBJECT

private slots:
    void randomOperator()
    {
        const quint32 seed = qEnvironmentVariableIsSet("QUADRELINK_CHAOS_SEED")
            ? quint32(qEnvironmentVariableIntValue("QUADRELINK_CHAOS_SEED"))
            : 20261207u;
        const int actions = qEnvironmentVariableIntValue("QUADRELINK_CHAOS_ACTIONS") > 0
            ? qEnvironmentVariableIntValue("QUADRELINK_CHAOS_ACTIONS")
            : 3000;
        qInfo("seed %u, %d actions", seed, actions);
        QRandomGenerator random(seed);

        auto first = startSensor();
        auto second = startSensor();
        WindowFixture window;
        window.devices[1] = first->devicePath();
        window.devices[2] = second->devicePath();
        window.open();
        window.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.form.get()));
        const FormControls &controls = window.form->controls();

        const auto anyText = [&]() -> QString {
            switch (random.bounded(9)) {
            case 0:
                return {};
            case 1:
                return QString::number(random.bounded(-40000, 40000));
            case 2:
                return QString::number(random.bounded(0, 30) / 4.0);
            case 3:
                return QString(10000, QChar(u'0' + random.bounded(10)));
            case 4:
                return QStringLiteral("\u0416\u20ac\U0001F600 ID");
            case 5:
                return QString::fromLatin1("\x01\r\n\t\x7f\0x", 7);
            case 6:
                return QStringLiteral(" 2 ");
            case 7:
                return QStringLiteral("ID");
            default: {
                QString text;
                for (int i = random.bounded(1, 8); i > 0; --i)
                    text += QChar(char16_t(random.bounded(32, 127)));
                return text;
            }
            }
        };

        for (int step = 0; step < actions; ++step) {
            QComboBox *box = controls.Combo1[random.bounded(5)];
            switch (random.bounded(12)) {
            case 0:
            case 1:
                // Half of the port numbers reach a sensor, so that traffic flows.
                if (box == controls.Combo1[0] && random.bounded(2))
                    box->setEditText(random.bounded(2) ? QStringLiteral("1") : QStringLiteral("2"));
                else
                    box->setEditText(anyText());
                break;
            case 2:
                box->setEditText(box->itemText(random.bounded(box->count())));
                emit box->activated(box->currentIndex());
                break;
            case 3:
                QTest::keyClick(box, random.bounded(2) ? Qt::Key_Down : Qt::Key_Up);
                break;
            case 4: {
                // Typed keys: printable characters only, as a keyboard gives them.
                QString typed;
                for (int i = random.bounded(1, 6); i > 0; --i)
                    typed += QChar(char16_t(random.bounded(32, 127)));
                QTest::keyClicks(box->lineEdit(), typed);
                QTest::keyClick(box->lineEdit(), Qt::Key_Return);
                break;
            }
            case 5:
                controls.Command1->click();
                break;
            case 6:
                controls.Command2->click();
                break;
            case 7:
                controls.Text1->setText(anyText());
                break;
            case 8:
                controls.Command3->click();
                break;
            case 9:
                controls.mnu_prog->trigger();
                break;
            case 10:
                QTest::mouseClick(controls.Frame1[random.bounded(2)], Qt::LeftButton, {},
                                  QPoint(4, 150));
                break;
            default:
                QTest::qWait(random.bounded(1, 150));
                break;
            }
            QCOMPARE(window.mostOpenMessages, window.messages.isEmpty() ? 0 : 1);
            if (!window.form->timer(2).Enabled()) {
                const bool open = window.form->MSComm1().PortOpen();
                QVERIFY2(controls.Shape1->BackColor() == (open ? form::green : form::red),
                         qPrintable(QStringLiteral("step %1").arg(step)));
            }
        }
        // The window is still alive and still applies and polls.
        controls.Combo1[0]->setEditText(QStringLiteral("1"));
        for (int i = 1; i < 5; ++i)
            controls.Combo1[i]->setEditText(controls.Combo1[i]->itemText(0));
        controls.Combo1[1]->setEditText(QStringLiteral("9600"));
        emit controls.Combo1[0]->activated(0);
        QTRY_VERIFY(!window.form->timer(2).Enabled());
        QCOMPARE(controls.Shape1->BackColor(), form::green);
        controls.Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.showsDistance(), 5000);
        qInfo("%lld messages, %lld and %lld lines at the sensors", qint64(window.messages.size()),
              first->receivedLineCount(), second->receivedLineCount());
    }
};

QTEST_MAIN(tst_OperatorChaos)
#include "tst_operatorchaos.moc"
