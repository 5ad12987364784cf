#include "app/shape.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace quadrelink;
using quadrelink::sim::SimulatedSensor;

class tst_DeviceLoss : public QObject
{
    Q_OBJECT

private slots:
    void lossTurnsRedAndCostsNothing()
    {
        auto sensor = startSensor();
        WindowFixture window;
        window.devices[1] = sensor->devicePath();
        window.open();
        window.form->controls().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(window.showsDistance(), 3000);

        sensor->hangUp();
        QTRY_COMPARE(window.form->controls().Shape1->BackColor(), form::red);
        QVERIFY(!window.form->MSComm1().PortOpen());
        QTRY_COMPARE(window.label2(), QStringLiteral("XXXXXX"));
        QVERIFY(window.messages.isEmpty());
        QVERIFY(window.form->timer(1).Enabled());

        // Polling goes on against the closed port: only its timers cost.
        const double before = cpuSeconds();
        idle(5000);
        const double share = (cpuSeconds() - before) / 5.0;
        qInfo("CPU after the loss: %.3f%% of a core", 100 * share);
        QVERIFY2(share < 0.01, qPrintable(QString::number(share)));
        QCOMPARE(window.label2(), QStringLiteral("XXXXXX"));
    }

    void returningDeviceReopensOnAChoice_data()
    {
        QTest::addColumn<bool>("sameName");
        QTest::newRow("same device name") << true;
        QTest::newRow("same port number, new device") << false;
    }
    void returningDeviceReopensOnAChoice()
    {
        QFETCH(bool, sameName);
        QTemporaryDir dir;
        SimulatedSensor::Options options;
        options.linkPath = dir.filePath(QStringLiteral("adapter"));
        auto sensor = startSensor(options);
        WindowFixture window;
        window.devices[1] = sameName ? options.linkPath : sensor->devicePath();
        window.open();
        window.form->controls().Command1->click();
        sensor->hangUp();
        QTRY_COMPARE(window.form->controls().Shape1->BackColor(), form::red);
        sensor.reset();

        auto back = startSensor(options);
        if (!sameName)
            window.devices[1] = back->devicePath();
        emit window.form->controls().Combo1[1]->activated(3);
        QTRY_COMPARE(window.form->controls().Shape1->BackColor(), form::green);
        QTRY_VERIFY_WITH_TIMEOUT(back->receivedLineCount() >= 2, 3000);
        QTRY_VERIFY(window.showsDistance());
    }

    void secondCopyFindsThePortBusy()
    {
        auto sensor = startSensor();
        WindowFixture first, second;
        first.devices[1] = second.devices[1] = sensor->devicePath();
        first.open();
        first.form->controls().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(first.showsDistance(), 3000);

        second.open();
        QCOMPARE(second.form->controls().Shape1->BackColor(), form::red);
        QVERIFY(second.messages.isEmpty());
        second.form->controls().Command1->click();

        const qint64 before = sensor->receivedLineCount();
        QTRY_VERIFY_WITH_TIMEOUT(sensor->receivedLineCount() >= before + 5, 3000);
        QTRY_VERIFY(first.showsDistance());
        QCOMPARE(first.form->controls().Shape1->BackColor(), form::green);
        // Each tick blanks the readout until the reply is due, so it is read
        // once that time has come.
        QTRY_COMPARE(second.label2(), QStringLiteral("XXXXXX"));
    }
};

QTEST_MAIN(tst_DeviceLoss)
#include "tst_deviceloss.moc"
