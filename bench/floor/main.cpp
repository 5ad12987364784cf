// quadrelink-bench-floor: the least any Qt Widgets program of Quadrelink's size
// costs. A main window with a menu bar, about 25 plain widgets placed by
// geometry, and a QSerialPort held open on the device given on the command line,
// and nothing else: no pictures, no settings, no handlers but one. The benchmark
// reports Quadrelink's start-up, memory and idle figures against it.
//
// "Run" starts the least polling can cost: every 200 ms what has come in is
// shown and "ad" goes out, and 50 ms later the answer is shown, in a filled
// 24-point label as big as the readout. Quadrelink's polling figures are
// reported against that.
//
//   quadrelink-bench-floor DEVICE

#include "app/formdefinition.h"
#include "sensor/sensordialogue.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>

namespace {

template<typename Widget, typename... Args>
Widget *place(QWidget *parent, QRect geometry, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setGeometry(geometry);
    return widget;
}

// A row of the window's table in pixels.
QRect pixelsOf(std::string_view name)
{
    for (const auto &c : quadrelink::form::controls)
        if (c.name == name)
            return {c.left / 15, c.top / 15, c.width / 15, c.height / 15};
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: quadrelink-bench-floor DEVICE\n");
        return 2;
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.menuBar()->addAction(QStringLiteral("About"));
    auto *client = new QWidget(&window);
    window.setCentralWidget(client);

    auto *settings = place<QGroupBox>(client, {8, 8, 200, 200}, QStringLiteral("Port"));
    const QStringList items[] = {
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
        {QStringLiteral("1200"), QStringLiteral("9600"), QStringLiteral("19200")},
        {QStringLiteral("n"), QStringLiteral("e"), QStringLiteral("o")},
        {QStringLiteral("7"), QStringLiteral("8")},
        {QStringLiteral("1"), QStringLiteral("2")},
    };
    for (int i = 0; i < 5; ++i) {
        place<QLabel>(settings, {8, 24 + 34 * i, 80, 21}, QStringLiteral("Setting %1").arg(i));
        auto *box = place<QComboBox>(settings, {96, 24 + 34 * i, 90, 21});
        box->setEditable(true);
        box->addItems(items[i]);
    }

    place<QLabel>(client, {224, 8, 160, 21}, QStringLiteral("Distance"));
    auto *readout = place<QLabel>(client, {224, 32, 167, 39}, QStringLiteral("0000"));
    readout->setFont(QFont(QStringLiteral("MS Sans Serif"), 24));
    readout->setAlignment(Qt::AlignCenter);
    readout->setAutoFillBackground(true);
    // "Run" where the program has it, so that one click serves both.
    auto *run = place<QPushButton>(client, pixelsOf("Command1"), QStringLiteral("Run"));
    place<QPushButton>(client, {394, 56, 35, 21}, QStringLiteral("Stop"));
    place<QLabel>(client, {224, 80, 160, 21}, QStringLiteral("Command"));
    place<QLineEdit>(client, {224, 104, 160, 21}, QStringLiteral("ID"));
    place<QPushButton>(client, {394, 104, 35, 21}, QStringLiteral("Out"));
    place<QLabel>(client, {224, 132, 160, 21}, QStringLiteral("Reply"));
    place<QLabel>(client, {224, 156, 160, 21}, QString());

    auto *about = place<QGroupBox>(client, {8, 216, 424, 120}, QStringLiteral("About"));
    place<QPlainTextEdit>(about, {8, 24, 300, 88}, QStringLiteral("Terms of use"));
    place<QLabel>(about, {316, 24, 100, 40}, QStringLiteral("Maker"));

    window.resize(440, 344 + window.menuBar()->sizeHint().height());

    QSerialPort port(arguments.at(1));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "quadrelink-bench-floor: cannot open %s: %s\n",
                     qPrintable(arguments.at(1)), qPrintable(port.errorString()));
        return 1;
    }

    QTimer query;
    query.setTimerType(Qt::PreciseTimer);
    query.setInterval(200);
    QTimer answer;
    answer.setTimerType(Qt::PreciseTimer);
    answer.setSingleShot(true);
    answer.setInterval(50);
    const QByteArray distanceQuery = quadrelink::SensorDialogue::distanceQuery.toLatin1();
    QObject::connect(&query, &QTimer::timeout, &window, [&] {
        readout->setText(QString::fromLatin1(port.readAll()));
        port.write(distanceQuery);
        answer.start();
    });
    QObject::connect(&answer, &QTimer::timeout, &window, [&] {
        const QString received = QString::fromLatin1(port.readAll());
        readout->setText(received.mid(received.lastIndexOf(u'\r', -2) + 1).trimmed());
    });
    QObject::connect(run, &QPushButton::clicked, &query, qOverload<>(&QTimer::start));

    window.show();
    return application.exec();
}
