#include "app/form1.h"
#include "app/formdefinition.h"
#include "fakecomm.h"
#include "resources/resources.h"
#include "widgethelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

using namespace quadrelink;

// The window at twice the scale, as on a high-density screen: the same process
// that runs the test starts itself once at each scale factor to measure the
// window, and the test compares the two.

namespace {

const char *const measureIntoVariable = "QUADRELINK_MEASURE_INTO";
// The controls whose pictures are compared, not only their sizes.
const QStringList picturedControls {"Shape1", "Image2"};

QJsonArray toJson(const QRect &rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}
QRect rectFrom(const QJsonValue &value)
{
    const QJsonArray a = value.toArray();
    return {a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()};
}

// The room a control gives its caption, in logical pixels.
QRect textRoom(QWidget *widget)
{
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    return widget->contentsRect();
}

// Child side: builds the window at this process's scale factor and writes what
// the parent compares.
int measureWindow(const QString &into)
{
    Form1 form(std::make_unique<FakeComm>());
    // The widest text the distance readout shows.
    form.controls().Label2->setText(QStringLiteral("XXXXXX"));
    // The About panel is shown so that the logo is painted as the operator sees it.
    form.mnu_prog_Click();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;

    QJsonObject controls;
    for (const auto &place : form::controls) {
        const QString name = objectNameOf(place.name);
        auto *widget = form.controls().client->findChild<QWidget *>(name);
        if (!widget)
            return 1;
        const QPixmap grab = widget->grab();
        QJsonObject measured {
            {"geometry", toJson(widget->geometry())},
            {"devicePixelRatio", widget->devicePixelRatioF()},
            {"grabRatio", grab.devicePixelRatio()},
            {"grab", QJsonArray {grab.width(), grab.height()}},
        };
        if (place.kind == form::Kind::Label || place.kind == form::Kind::Button) {
            const QString caption = textOf(widget);
            measured["advance"] = widget->fontMetrics().horizontalAdvance(caption);
            measured["lineHeight"] = widget->fontMetrics().height();
            measured["room"] = toJson(textRoom(widget));
        }
        controls[name] = measured;
        if (picturedControls.contains(name) && !grab.save(QDir(into).filePath(name + ".png")))
            return 1;
    }
    QFile file(QDir(into).filePath(QStringLiteral("controls.json")));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QJsonDocument(controls).toJson());
    return 0;
}

// How far apart two pictures of one size are: the mean difference per colour
// channel, 0 to 255.
double meanDifference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    return sum / (4.0 * x.width() * x.height());
}

} // namespace

class tst_HighDpi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        for (int factor : {1, 2}) {
            const QString into = m_scratch.filePath(QString::number(factor));
            QVERIFY(QDir().mkpath(into));
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(factor));
            environment.insert(QLatin1String(measureIntoVariable), into);
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);

            QFile file(QDir(into).filePath(QStringLiteral("controls.json")));
            QVERIFY(file.open(QIODevice::ReadOnly));
            m_measured[factor] = QJsonDocument::fromJson(file.readAll()).object();
            QCOMPARE(m_measured[factor].size(), qsizetype(form::controls.size()));
        }
    }

    void everyControlScalesAsAWhole_data()
    {
        QTest::addColumn<QString>("control");
        for (const auto &place : form::controls)
            QTest::newRow(place.name.data()) << objectNameOf(place.name);
    }
    void everyControlScalesAsAWhole()
    {
        QFETCH(QString, control);
        const QJsonObject once = m_measured[1][control].toObject();
        const QJsonObject twice = m_measured[2][control].toObject();
        const QRect geometry = rectFrom(once["geometry"]);
        QCOMPARE(rectFrom(twice["geometry"]), geometry);
        QCOMPARE(once["devicePixelRatio"].toDouble(), 1.0);
        QCOMPARE(twice["devicePixelRatio"].toDouble(), 2.0);
        QCOMPARE(twice["grabRatio"].toDouble(), 2.0);
        const QJsonArray onceGrab = once["grab"].toArray();
        const QJsonArray twiceGrab = twice["grab"].toArray();
        QCOMPARE(QSize(onceGrab[0].toInt(), onceGrab[1].toInt()), geometry.size());
        QCOMPARE(QSize(twiceGrab[0].toInt(), twiceGrab[1].toInt()), geometry.size() * 2);
    }

    void noCaptionClippedOnlyAtTwice_data()
    {
        QTest::addColumn<QString>("control");
        for (const auto &place : form::controls)
            if (place.kind == form::Kind::Label || place.kind == form::Kind::Button)
                QTest::newRow(place.name.data()) << objectNameOf(place.name);
    }
    void noCaptionClippedOnlyAtTwice()
    {
        QFETCH(QString, control);
        const QJsonObject once = m_measured[1][control].toObject();
        const QJsonObject twice = m_measured[2][control].toObject();
        const int advance1 = once["advance"].toInt();
        const int advance2 = twice["advance"].toInt();
        const QRect room1 = rectFrom(once["room"]);
        const QRect room2 = rectFrom(twice["room"]);
        QCOMPARE(room2, room1);
        // Fonts keep their logical size: the text grows with the control.
        QVERIFY2(
            std::abs(advance2 - advance1) <= std::max(2, advance1 / 20),
            qPrintable(QStringLiteral("%1 px at 1x, %2 px at 2x").arg(advance1).arg(advance2)));
        QVERIFY2(std::abs(twice["lineHeight"].toInt() - once["lineHeight"].toInt()) <= 2,
                 "line height");
        if (advance1 <= room1.width())
            QVERIFY2(advance2 <= room2.width(),
                     qPrintable(QStringLiteral("%1 px in %2").arg(advance2).arg(room2.width())));
        if (once["lineHeight"].toInt() <= room1.height())
            QVERIFY(twice["lineHeight"].toInt() <= room2.height());
    }

    void indicatorStaysRound_data()
    {
        QTest::addColumn<int>("factor");
        QTest::newRow("1x") << 1;
        QTest::newRow("2x") << 2;
    }
    void indicatorStaysRound()
    {
        QFETCH(int, factor);
        const QImage circle = picture(factor, QStringLiteral("Shape1"));
        const int side = circle.width();
        QCOMPARE(circle.height(), side);
        // A circle in its square is the same mirrored left to right, top to
        // bottom and across the diagonal; an ellipse or a shifted circle is not.
        const auto near = [](QRgb p, QRgb q) {
            return std::abs(qRed(p) - qRed(q)) <= 16 && std::abs(qGreen(p) - qGreen(q)) <= 16
                && std::abs(qBlue(p) - qBlue(q)) <= 16 && std::abs(qAlpha(p) - qAlpha(q)) <= 16;
        };
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const QRgb p = circle.pixel(x, y);
                QVERIFY2(near(p, circle.pixel(side - 1 - x, y))
                             && near(p, circle.pixel(x, side - 1 - y))
                             && near(p, circle.pixel(y, x)),
                         qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
            }
        // Filled with the port state's green in the middle, not in the corners.
        const QColor middle = circle.pixelColor(side / 2, side / 2);
        QCOMPARE(middle, QColor(0, 0xC0, 0));
        QVERIFY(circle.pixelColor(0, 0) != middle);
        // The fill reaches across the whole square at the middle row.
        int filled = 0;
        for (int x = 0; x < side; ++x)
            filled += circle.pixelColor(x, side / 2) == middle;
        QVERIFY2(filled >= side - 4 * factor, qPrintable(QString::number(filled)));
    }

    void logoStretchedToItsPlace_data()
    {
        QTest::addColumn<int>("factor");
        QTest::newRow("1x") << 1;
        QTest::newRow("2x") << 2;
    }
    void logoStretchedToItsPlace()
    {
        QFETCH(int, factor);
        const QImage shown = picture(factor, QStringLiteral("Image2"));
        QCOMPARE(shown.size(), QSize(112, 80) * factor);
        // The whole square logo squeezed into the 112 x 80 place, drawn from
        // the original at the screen's own density.
        const QImage expected = resources::logo().scaled(shown.size(), Qt::IgnoreAspectRatio,
                                                         Qt::SmoothTransformation);
        const double difference = meanDifference(shown, expected);
        // The 1x picture enlarged would differ by about 1.7 at its edges.
        QVERIFY2(difference < 1.0, qPrintable(QString::number(difference)));
    }

private:
    QImage picture(int factor, const QString &control) const
    {
        return QImage(QDir(m_scratch.filePath(QString::number(factor))).filePath(control + ".png"));
    }

    QTemporaryDir m_scratch;
    QHash<int, QJsonObject> m_measured;
};

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (const QString into = qEnvironmentVariable(measureIntoVariable); !into.isEmpty())
        return measureWindow(into);
    tst_HighDpi test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
