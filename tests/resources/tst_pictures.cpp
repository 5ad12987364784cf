#include "resources.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>
#include <QtEndian>

using namespace quadrelink;

namespace {

// The pictures as files, drawn by the same script as the pixels the program
// holds; the desktop's icon theme is made from the icon file.
const QString iconFile = QStringLiteral(PICTURES_DIR "/icon1.ico");
const QString logoFile = QStringLiteral(PICTURES_DIR "/logo.bmp");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// A little-endian field of 1, 2 or 4 bytes, as BMP and ICO headers store them.
qint64 field(const QByteArray &bytes, int offset, int width)
{
    const auto *at = reinterpret_cast<const uchar *>(bytes.constData()) + offset;
    switch (width) {
    case 1:
        return *at;
    case 2:
        return qFromLittleEndian<quint16>(at);
    default:
        return qFromLittleEndian<quint32>(at);
    }
}

constexpr qint64 logoLength = 14 + 40 + 256 * 4 + 256 * 256;
// ICONDIR + one entry, then header, palette, 8-bit pixels and the 1-bit mask.
constexpr qint64 iconImageLength = 40 + 256 * 4 + 256 * 256 + 256 * 256 / 8;
constexpr qint64 iconLength = 6 + 16 + iconImageLength;

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void headerField_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("width");
        QTest::addColumn<qint64>("expected");

        QTest::newRow("logo signature BM") << logoFile << 0 << 2 << qint64('B' | ('M' << 8));
        QTest::newRow("logo file size") << logoFile << 2 << 4 << logoLength;
        QTest::newRow("logo pixel offset") << logoFile << 10 << 4 << qint64(1078);
        QTest::newRow("logo header size") << logoFile << 14 << 4 << qint64(40);
        QTest::newRow("logo width") << logoFile << 18 << 4 << qint64(256);
        QTest::newRow("logo height, bottom-up") << logoFile << 22 << 4 << qint64(256);
        QTest::newRow("logo planes") << logoFile << 26 << 2 << qint64(1);
        QTest::newRow("logo bit count") << logoFile << 28 << 2 << qint64(8);
        QTest::newRow("logo uncompressed") << logoFile << 30 << 4 << qint64(0);
        QTest::newRow("logo colour table entries") << logoFile << 46 << 4 << qint64(256);

        QTest::newRow("icon reserved") << iconFile << 0 << 2 << qint64(0);
        QTest::newRow("icon type is icon") << iconFile << 2 << 2 << qint64(1);
        QTest::newRow("icon image count") << iconFile << 4 << 2 << qint64(1);
        QTest::newRow("icon entry width 256") << iconFile << 6 << 1 << qint64(0);
        QTest::newRow("icon entry height 256") << iconFile << 7 << 1 << qint64(0);
        QTest::newRow("icon entry colour count") << iconFile << 8 << 1 << qint64(0);
        QTest::newRow("icon entry planes") << iconFile << 10 << 2 << qint64(1);
        QTest::newRow("icon entry bit count") << iconFile << 12 << 2 << qint64(8);
        QTest::newRow("icon entry image size") << iconFile << 14 << 4 << iconImageLength;
        QTest::newRow("icon entry image offset") << iconFile << 18 << 4 << qint64(22);
        QTest::newRow("icon image header size") << iconFile << 22 << 4 << qint64(40);
        QTest::newRow("icon image width") << iconFile << 26 << 4 << qint64(256);
        QTest::newRow("icon image height, pixels and mask") << iconFile << 30 << 4 << qint64(512);
        QTest::newRow("icon image bit count") << iconFile << 36 << 2 << qint64(8);
        QTest::newRow("icon image uncompressed") << iconFile << 38 << 4 << qint64(0);
    }

    void headerField()
    {
        QFETCH(QString, path);
        QFETCH(int, offset);
        QFETCH(int, width);
        QFETCH(qint64, expected);

        const QByteArray bytes = fileBytes(path);
        QVERIFY2(bytes.size() >= offset + width, qPrintable(path + " is missing or truncated"));
        QCOMPARE(field(bytes, offset, width), expected);
    }

    void logoUsesAFewDozenColours()
    {
        const QImage logo = resources::logo();
        QVERIFY(!logo.isNull());

        QSet<QRgb> colours;
        for (int y = 0; y < logo.height(); ++y) {
            for (int x = 0; x < logo.width(); ++x)
                colours.insert(logo.pixel(x, y));
        }
        // A flat two-colour drawing would look jagged; hundreds of shades would
        // mean the edge shading ran away.
        QVERIFY2(colours.size() >= 20 && colours.size() <= 40,
                 qPrintable(QString::number(colours.size()) + " colours"));
    }

    void logoIsTheRightWayUp()
    {
        const QImage logo = resources::logo();
        QVERIFY(!logo.isNull());

        // BMP rows run bottom-up, QImage rows top-down: mixing them up turns
        // the mark upside down.
        // The mark is a V: wide near the top, narrow near its point.
        const QRgb field = logo.pixel(0, 0);
        const auto markWidth = [&](int y) {
            int width = 0;
            for (int x = 0; x < logo.width(); ++x)
                width += logo.pixel(x, y) != field;
            return width;
        };
        QVERIFY2(markWidth(40) > 4 * markWidth(170),
                 qPrintable(QStringLiteral("%1 vs %2").arg(markWidth(40)).arg(markWidth(170))));
    }

    void loads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<qint64>("length");

        QTest::newRow("logo") << logoFile << QByteArray("bmp") << logoLength;
        QTest::newRow("icon") << iconFile << QByteArray("ico") << iconLength;
    }

    void loads()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(qint64, length);

        QCOMPARE(qint64(fileBytes(path).size()), length);
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.imageCount(), 1);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(256, 256));
    }

    // The program shows exactly the drawing of the files: same rows, same
    // colours, transparent where the icon's mask says so, and still 8 bits per
    // pixel.
    void programPicturesAreTheFiles_data()
    {
        QTest::addColumn<QImage>("held");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("transparent");

        QTest::newRow("ICON1, 256 colours") << resources::icon1() << iconFile << true;
        QTest::newRow("logo, 8 bits, opaque") << resources::logo() << logoFile << false;
    }

    void programPicturesAreTheFiles()
    {
        QFETCH(QImage, held);
        QFETCH(QString, path);
        QFETCH(bool, transparent);

        QCOMPARE(held.format(), QImage::Format_Indexed8);
        QVERIFY(held.colorCount() <= 256);
        QCOMPARE(held.hasAlphaChannel(), transparent);
        QImageReader reader(path);
        const QImage file = reader.read();
        QVERIFY2(!file.isNull(), qPrintable(reader.errorString()));
        // Premultiplied, so that fully transparent pixels compare equal
        // whatever colour lies under them.
        QCOMPARE(held.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 file.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    // Scaled as the window's icon is, to the sizes of title bars, menus and
    // task bars: an inverted mask would hide the tile and show the corners.
    void iconCornersAreTransparent_data()
    {
        QTest::addColumn<int>("extent");

        QTest::newRow("256 px, as drawn") << 256;
        QTest::newRow("32 px, task bar") << 32;
        QTest::newRow("16 px, menus and title bars") << 16;
    }

    void iconCornersAreTransparent()
    {
        QFETCH(int, extent);

        const QImage icon
            = resources::icon1()
                  .scaled(extent, extent, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                  .convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(icon.size(), QSize(extent, extent));
        const int last = extent - 1;
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
            QCOMPARE(qAlpha(icon.pixel(corner)), 0);
        QCOMPARE(qAlpha(icon.pixel(extent / 2, extent / 2)), 255);
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
