#include "app/form1.h"
#include "app/shape.h"
#include "pseudoterminal.h"
#include "serial/portmap.h"
#include "serial/serialportcomm.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

using namespace quadrelink;

namespace {

std::unique_ptr<Form1> startOn(const QString &device)
{
    return std::make_unique<Form1>(std::make_unique<SerialPortComm>(portMapWith(1, device)));
}

} // namespace

class tst_StartupPty : public QObject
{
    Q_OBJECT

private slots:
    void portOneOnAPseudoTerminalOpensGreen()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        auto form = startOn(pty.path());
        QCOMPARE(form->controls().Shape1->BackColor(), form::green);
        QVERIFY(pty.peerOpen());
        QCOMPARE(form->MSComm1().Settings(), QStringLiteral("1200,n,8,1"));
    }

    void unavailablePortShowsRedAndStartsAnyway_data()
    {
        QTest::addColumn<bool>("held");
        QTest::newRow("device absent") << false;
        QTest::newRow("held by another opener") << true;
    }
    void unavailablePortShowsRedAndStartsAnyway()
    {
        QFETCH(bool, held);
        PseudoTerminal pty;
        const QString device = held ? pty.path() : QStringLiteral("/dev/quadrelink-absent");
        SerialPortComm holder(portMapWith(1, device));
        if (held)
            holder.setPortOpen(true);

        auto form = startOn(device);
        QCOMPARE(form->controls().Shape1->BackColor(), form::red);
        QVERIFY(!form->MSComm1().PortOpen());
        QVERIFY(form->windowTitle().contains(QStringLiteral("Today:")));
        QVERIFY(!form->controls().Text9->toPlainText().isEmpty());
        QVERIFY(!form->controls().Text8->toPlainText().isEmpty());
        // Nothing was reported: no dialog opened.
        QCOMPARE(std::ranges::count_if(QApplication::topLevelWidgets(),
                                       [](QWidget *w) { return w->isVisible(); }),
                 0);
        if (held)
            QVERIFY(holder.PortOpen());
    }

    void closingTheWindowHangsUpTheLine()
    {
        PseudoTerminal pty;
        auto form = startOn(pty.path());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(pty.peerOpen());
        QVERIFY(form->close());
        QTRY_VERIFY(!pty.peerOpen());
    }
};

QTEST_MAIN(tst_StartupPty)
#include "tst_startup_pty.moc"
