#include "resources.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTest>
#include <QtEndian>

using namespace quadrelink;

namespace {

QByteArray embedded(const QString &path)
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

        const QString logo = QString::fromLatin1(resources::logoPath);
        QTest::newRow("logo signature BM") << logo << 0 << 2 << qint64('B' | ('M' << 8));
        QTest::newRow("logo file size") << logo << 2 << 4 << logoLength;
        QTest::newRow("logo pixel offset") << logo << 10 << 4 << qint64(1078);
        QTest::newRow("logo header size") << logo << 14 << 4 << qint64(40);
        QTest::newRow("logo width") << logo << 18 << 4 << qint64(256);
        QTest::newRow("logo height, bottom-up") << logo << 22 << 4 << qint64(256);
        QTest::newRow("logo planes") << logo << 26 << 2 << qint64(1);
        QTest::newRow("logo bit count") << logo << 28 << 2 << qint64(8);
        QTest::newRow("logo uncompressed") << logo << 30 << 4 << qint64(0);
        QTest::newRow("logo colour table entries") << logo << 46 << 4 << qint64(256);

        const QString icon = QString::fromLatin1(resources::iconPath);
        QTest::newRow("icon reserved") << icon << 0 << 2 << qint64(0);
        QTest::newRow("icon type is icon") << icon << 2 << 2 << qint64(1);
        QTest::newRow("icon image count") << icon << 4 << 2 << qint64(1);
        QTest::newRow("icon entry width 256") << icon << 6 << 1 << qint64(0);
        QTest::newRow("icon entry height 256") << icon << 7 << 1 << qint64(0);
        QTest::newRow("icon entry colour count") << icon << 8 << 1 << qint64(0);
        QTest::newRow("icon entry planes") << icon << 10 << 2 << qint64(1);
        QTest::newRow("icon entry bit count") << icon << 12 << 2 << qint64(8);
        QTest::newRow("icon entry image size") << icon << 14 << 4 << iconImageLength;
        QTest::newRow("icon entry image offset") << icon << 18 << 4 << qint64(22);
        QTest::newRow("icon image header size") << icon << 22 << 4 << qint64(40);
        QTest::newRow("icon image width") << icon << 26 << 4 << qint64(256);
        QTest::newRow("icon image height, pixels and mask") << icon << 30 << 4 << qint64(512);
        QTest::newRow("icon image bit count") << icon << 36 << 2 << qint64(8);
        QTest::newRow("icon image uncompressed") << icon << 38 << 4 << qint64(0);
    }

    void headerField()
    {
        QFETCH(QString, path);
        QFETCH(int, offset);
        QFETCH(int, width);
        QFETCH(qint64, expected);

        const QByteArray bytes = embedded(path);
        QVERIFY2(bytes.size() >= offset + width, qPrintable(path + " is missing or truncated"));
        QCOMPARE(field(bytes, offset, width), expected);
    }

    void logoUsesAFewDozenColours()
    {
        const QImage logo(QString::fromLatin1(resources::logoPath));
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
        const QImage logo(QString::fromLatin1(resources::logoPath));
        QVERIFY(!logo.isNull());

        // BMP rows run bottom-up; rows written top-down turn the mark upside down.
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

        QTest::newRow("logo") << QString::fromLatin1(resources::logoPath) << QByteArray("bmp")
                              << logoLength;
        QTest::newRow("icon") << QString::fromLatin1(resources::iconPath) << QByteArray("ico")
                              << iconLength;
    }

    void loads()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(qint64, length);

        QCOMPARE(qint64(embedded(path).size()), length);
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.imageCount(), 1);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(256, 256));
    }

    void iconCornersAreTransparent()
    {
        const QImage icon = QImage(QString::fromLatin1(resources::iconPath))
                                .convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!icon.isNull());

        // An inverted mask would hide the tile and show the corners.
        for (const QPoint corner : {QPoint(0, 0), QPoint(255, 0), QPoint(0, 255), QPoint(255, 255)})
            QCOMPARE(qAlpha(icon.pixel(corner)), 0);
        for (const QPoint inside : {QPoint(128, 128), QPoint(128, 12), QPoint(128, 243)})
            QCOMPARE(qAlpha(icon.pixel(inside)), 255);
    }

    void iconScalesToSmallSizes_data()
    {
        QTest::addColumn<int>("extent");

        QTest::newRow("16 px, menus and title bars") << 16;
        QTest::newRow("32 px, task bar") << 32;
    }

    void iconScalesToSmallSizes()
    {
        QFETCH(int, extent);

        const QIcon icon(QString::fromLatin1(resources::iconPath));
        QVERIFY(!icon.isNull());
        const QPixmap pixmap = icon.pixmap(extent);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), QSize(extent, extent));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
