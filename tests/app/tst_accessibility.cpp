#include "app/form1.h"
#include "app/formdefinition.h"
#include "app/shape.h"
#include "fakewindow.h"
#include "testhelpers.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace quadrelink;

namespace {

// What a screen reader reads: Qt's AT-SPI bridge offers a control's text only
// through its text interface.
QString readText(QAccessibleInterface *accessible)
{
    QAccessibleTextInterface *text = accessible->textInterface();
    return text ? text->text(0, text->characterCount()) : QStringLiteral("<no text interface>");
}

} // namespace

// The window as a screen reader sees it, read through Qt's accessibility
// interfaces.
class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void init() { start(true); }
    void cleanup() { m_form.reset(); }

    void namesAsInTheTable_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        for (const auto &c : form::controls)
            if (!c.accessibleName.empty())
                QTest::newRow(c.name.data()) << objectNameOf(c.name) << qs(c.accessibleName);
    }
    void namesAsInTheTable()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QAccessibleInterface *accessible = interfaceOf(control);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }

    void everyControlThatTakesTheFocusIsNamed()
    {
        for (const auto &c : form::controls) {
            const QString control = objectNameOf(c.name);
            auto *widget = m_form->controls().client->findChild<QWidget *>(control);
            QVERIFY(widget);
            if (widget->focusPolicy() == Qt::NoFocus)
                continue;
            QVERIFY2(!interfaceOf(control)->text(QAccessible::Name).isEmpty(), qPrintable(control));
        }
    }

    void readoutsTellWhatTheyShow_data()
    {
        QTest::addColumn<bool>("command");
        QTest::addColumn<QString>("received");
        QTest::addColumn<bool>("nextTick");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("value");
        QTest::newRow("distance") << false << "ad\r0523\r" << false << "Label2"
                                  << "0523";
        QTest::newRow("distance without answer") << false << "" << false << "Label2"
                                                 << "XXXXXX";
        // The next tick blanks the box until its answer comes: the reading
        // stays what a screen reader reads.
        QTest::newRow("distance through the next tick's blank")
            << false << "ad\r0523\r" << true << "Label2"
            << "0523";
        QTest::newRow("response") << true << "ID\rUC1000-30GM-IUR2-K-V15\r" << false << "Label6"
                                  << "UC1000-30GM-IUR2-K-V15";
        QTest::newRow("response without answer") << true << "" << false << "Label6"
                                                 << "XXXXXX";
        // Control characters are drawn as boxes for characters the font lacks:
        // read one for one as the character for what cannot be shown, never
        // raw (a NUL would cut the text short, a bell or an escape would reach
        // the screen reader as a command).
        const QString box(QChar::ReplacementCharacter);
        QTest::newRow("NUL inside the distance") << false
                                                 << QString::fromLatin1("ad\r05\0"
                                                                        "23\r",
                                                                        8)
                                                 << false << "Label2"
                                                 << "05" + box + "23";
        QTest::newRow("bell and an escape sequence in the response")
            << true << QString::fromLatin1("ID\r\a\x1b[2Jok\r") << false << "Label6"
            << box + box + "[2Jok";
        QTest::newRow("C1 controls and DEL in the response")
            << true << QString::fromLatin1("ID\r\x85\x9b\x7f\xe9\r") << false << "Label6"
            << box + box + box + QChar(0xe9);
    }
    void readoutsTellWhatTheyShow()
    {
        QFETCH(bool, command);
        QFETCH(QString, received);
        QFETCH(bool, nextTick);
        QFETCH(QString, control);
        QFETCH(QString, value);
        QAccessibleInterface *accessible = interfaceOf(control);
        const QString nameBefore = accessible->text(QAccessible::Name);
        if (command) {
            m_form->Command3_Click();
            m_comm->receive(received);
            m_form->Timer4_Timer();
        } else {
            m_form->Timer1_Timer();
            m_comm->receive(received);
            m_form->Timer3_Timer();
        }
        if (nextTick) {
            m_form->Timer1_Timer();
            QCOMPARE(m_form->controls().Label2->text(), QString());
        }
        QCOMPARE(accessible->role(), QAccessible::StaticText);
        QCOMPARE(readText(accessible), value);
        QCOMPARE(accessible->text(QAccessible::Name), nameBefore);
        // A review of the screen places the reading by its characters: each
        // lies inside the readout, the next to the right of the one before.
        auto *label = m_form->controls().client->findChild<QWidget *>(control);
        const QRect shown(label->mapToGlobal(QPoint(0, 0)), label->size());
        QAccessibleTextInterface *text = accessible->textInterface();
        QRect previous;
        for (int offset = 0; offset < text->characterCount(); ++offset) {
            const QRect character = text->characterRect(offset);
            QVERIFY2(!character.isEmpty() && shown.contains(character), qPrintable(value));
            QVERIFY(character.left() >= previous.right());
            previous = character;
        }
    }

    void settingsBoxesTellTheirChoice_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("description");
        QTest::newRow("port number") << 0 << "12"
                                     << "port open";
        QTest::newRow("baud rate") << 1 << "115200"
                                   << "";
        QTest::newRow("parity none") << 2 << "n"
                                     << "none";
        QTest::newRow("parity mark") << 2 << "m"
                                     << "mark";
        QTest::newRow("data bits") << 3 << "5"
                                   << "";
        QTest::newRow("stop bits") << 4 << "2"
                                   << "";
    }
    void settingsBoxesTellTheirChoice()
    {
        QFETCH(int, box);
        QFETCH(QString, choice);
        QFETCH(QString, description);
        QComboBox *combo = m_form->controls().Combo1[box];
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(combo);
        QCOMPARE(accessible->role(), QAccessible::ComboBox);
        QVERIFY(accessible->state().editable);
        combo->setCurrentIndex(combo->findText(choice));
        QCOMPARE(accessible->text(QAccessible::Value), choice);
        // The text field stays reachable, so that a value can be typed too; it
        // holds the focus, and carries the box's name.
        QCOMPARE(accessible->childCount(), 1);
        QCOMPARE(accessible->child(0)->role(), QAccessible::EditableText);
        QCOMPARE(accessible->child(0)->text(QAccessible::Name),
                 accessible->text(QAccessible::Name));
        // A parity letter has its word, the port box the port state.
        QCOMPARE(accessible->text(QAccessible::Description), description);
        QCOMPARE(accessible->child(0)->text(QAccessible::Description), description);
    }

    void settingsBoxOpensItsListOnRequest()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QComboBox *combo = m_form->controls().Combo1[1];
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(combo);
        QVERIFY(!accessible->state().expanded);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
        QTRY_VERIFY(accessible->state().expanded);
        combo->hidePopup();
    }

    void indicatorTellsThePortState_data()
    {
        QTest::addColumn<bool>("portOpens");
        QTest::addColumn<bool>("loseDevice");
        QTest::addColumn<QString>("state");
        QTest::newRow("port opened") << true << false << "open";
        QTest::newRow("port absent or busy") << false << false << "closed";
        QTest::newRow("device went away") << true << true << "closed";
    }
    void indicatorTellsThePortState()
    {
        QFETCH(bool, portOpens);
        QFETCH(bool, loseDevice);
        QFETCH(QString, state);
        start(portOpens);
        if (loseDevice)
            m_comm->loseDevice();
        QAccessibleInterface *accessible = interfaceOf(QStringLiteral("Shape1"));
        QCOMPARE(accessible->role(), QAccessible::StaticText);
        QCOMPARE(readText(accessible), state);
        // The port box, and its text field that holds the focus, say it too.
        QComboBox *portBox = m_form->controls().Combo1[0];
        for (QWidget *widget : std::initializer_list<QWidget *> {portBox, portBox->lineEdit()})
            QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description),
                     "port " + state);
    }

    // What the About panel covers is not among the window's children while it
    // is shown, and the hidden panel never is; both stay in the Tab chain.
    void aboutPanelHidesWhatItCovers()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QAccessibleInterface *client
            = QAccessible::queryAccessibleInterface(m_form->controls().client);
        const auto listed = [client](QWidget *widget) {
            return client->indexOfChild(QAccessible::queryAccessibleInterface(widget)) >= 0;
        };
        const auto &controls = m_form->controls();
        for (bool shown : {false, true, false}) {
            if (controls.Frame1[1]->isVisible() != shown)
                m_form->mnu_prog_Click();
            QCOMPARE(listed(controls.Frame1[1]), shown);
            for (QWidget *covered : std::initializer_list<QWidget *> {
                     controls.Label2, controls.Command1, controls.Text1, controls.Command3})
                QCOMPARE(listed(covered), !shown);
            // Partly covered, the response line and the port frame stay.
            QVERIFY(listed(controls.Label6));
            QVERIFY(listed(controls.Frame1[0]));
        }
    }

private:
    void start(bool portOpens)
    {
        m_form.reset();
        m_form = openFakeWindow(m_comm, {}, portOpens);
    }

    QAccessibleInterface *interfaceOf(const QString &control) const
    {
        return QAccessible::queryAccessibleInterface(
            m_form->controls().client->findChild<QWidget *>(control));
    }

    FakeComm *m_comm = nullptr;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
