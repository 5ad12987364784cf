#include "app/bitmapfile.h"
#include "resources/resources.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTest>
#include <QtEndian>

#include <memory>

using namespace quadrelink;

namespace {

void put16(QByteArray &bytes, quint16 value)
{
    char raw[2];
    qToLittleEndian(value, raw);
    bytes.append(raw, 2);
}

void put32(QByteArray &bytes, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

struct Bitmap
{
    int width = 5; // odd, so that every row is padded
    int height = 3;
    int bits = 8;
    bool topDown = false; // BMP files only
};

// Each pixel's value (a palette index, or 0xAARRGGBB for 24 and 32 bits) and
// whether the icon mask makes it transparent: a pattern that touches every
// palette entry in use and both ends of each row.
quint32 valueAt(const Bitmap &b, int x, int y)
{
    if (b.bits <= 8)
        return quint32(x * 7 + y * 3) % (1u << b.bits);
    const quint32 alpha = b.bits == 32 ? quint32((x + y) % 3) * 0x7f : 0;
    return (alpha << 24) | quint32(x * 40) << 16 | quint32(y * 60) << 8 | quint32(x * y * 9);
}
bool maskedAt(int x, int y)
{
    return (x + 2 * y) % 4 == 0;
}

// The bitmap header, palette and pixels; for an icon the mask follows.
QByteArray dib(const Bitmap &b, bool icon)
{
    QByteArray bytes;
    const int paletteSize = b.bits <= 8 ? 1 << b.bits : 0;
    put32(bytes, 40);
    put32(bytes, quint32(b.width));
    put32(bytes, quint32(icon ? 2 * b.height : (b.topDown ? -b.height : b.height)));
    put16(bytes, 1);
    put16(bytes, quint16(b.bits));
    for (int i = 0; i < 6; ++i)
        put32(bytes, 0);
    for (int i = 0; i < paletteSize; ++i)
        put32(bytes,
              quint32(i * 37 % 256) << 16 | quint32(i * 91 % 256) << 8 | quint32(i * 13 % 256));
    const int stride = (b.width * b.bits + 31) / 32 * 4;
    for (int row = 0; row < b.height; ++row) {
        const int y = b.topDown ? row : b.height - 1 - row;
        QByteArray line(stride, '\0');
        for (int x = 0; x < b.width; ++x) {
            const quint32 v = valueAt(b, x, y);
            if (b.bits <= 8) {
                const int perByte = 8 / b.bits;
                line[x / perByte] = char(line[x / perByte] | v << (8 - b.bits * (x % perByte + 1)));
            } else {
                for (int c = 0; c < b.bits / 8; ++c)
                    line[x * (b.bits / 8) + c] = char(v >> (8 * c));
            }
        }
        bytes += line;
    }
    if (icon) {
        const int maskStride = (b.width + 31) / 32 * 4;
        for (int row = 0; row < b.height; ++row) {
            QByteArray line(maskStride, '\0');
            for (int x = 0; x < b.width; ++x)
                if (maskedAt(x, b.height - 1 - row))
                    line[x / 8] = char(line[x / 8] | 0x80 >> (x % 8));
            bytes += line;
        }
    }
    return bytes;
}

QByteArray iconFile(const QList<Bitmap> &entries)
{
    QByteArray bytes;
    put16(bytes, 0);
    put16(bytes, 1);
    put16(bytes, quint16(entries.size()));
    QList<QByteArray> images;
    quint32 offset = quint32(6 + 16 * entries.size());
    for (const Bitmap &b : entries) {
        images.append(dib(b, true));
        bytes.append(char(b.width % 256));
        bytes.append(char(b.height % 256));
        bytes.append(char(b.bits <= 8 ? (1 << b.bits) % 256 : 0));
        bytes.append('\0');
        put16(bytes, 1);
        put16(bytes, quint16(b.bits));
        put32(bytes, quint32(images.last().size()));
        put32(bytes, offset);
        offset += quint32(images.last().size());
    }
    for (const QByteArray &image : images)
        bytes += image;
    return bytes;
}

QByteArray bmpFile(const Bitmap &b)
{
    const QByteArray body = dib(b, false);
    const int paletteSize = b.bits <= 8 ? 1 << b.bits : 0;
    QByteArray bytes("BM");
    put32(bytes, quint32(14 + body.size()));
    put32(bytes, 0);
    put32(bytes, quint32(14 + 40 + 4 * paletteSize));
    return bytes + body;
}

// What Qt's own readers make of the same bytes, in the form both are compared in.
QImage qtReads(const QByteArray &bytes, const char *format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    return QImageReader(&buffer, format).read();
}

QByteArray resource(const char *path)
{
    QFile file {QLatin1String(path)};
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_BitmapFile : public QObject
{
    Q_OBJECT

private slots:
    // Qt's image readers are the reference: the program's pictures must look
    // exactly as they would if read through them.
    void sameAsQtReaders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("the application icon") << resource(resources::iconPath) << QByteArray("ico");
        QTest::newRow("the logo") << resource(resources::logoPath) << QByteArray("bmp");
        for (const int bits : {1, 4, 8, 24}) {
            if (bits <= 8)
                QTest::addRow("icon, %d bits", bits)
                    << iconFile({Bitmap {5, 3, bits}}) << QByteArray("ico");
            QTest::addRow("bmp, %d bits", bits)
                << bmpFile(Bitmap {5, 3, bits}) << QByteArray("bmp");
        }
        QTest::newRow("bmp, top down") << bmpFile(Bitmap {5, 3, 24, true}) << QByteArray("bmp");
        QTest::newRow("icon, 33 wide (two mask words)")
            << iconFile({Bitmap {33, 2, 4}}) << QByteArray("ico");
    }
    void sameAsQtReaders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, format);
        QVERIFY(!bytes.isEmpty());
        const QImage ours
            = format == "ico" ? readIconImage(bytes, QSize(32, 32)) : readBitmapImage(bytes);
        const QImage qts = qtReads(bytes, format.constData());
        QVERIFY(!ours.isNull());
        QVERIFY(!qts.isNull());
        // Premultiplied, so that fully transparent pixels compare equal
        // whatever colour each reader leaves under them.
        QCOMPARE(ours.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 qts.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    // Icons of more colours, where Qt's reader is no reference: it ignores the
    // mask of a 24-bit icon, which the platform the icons come from applies.
    void trueColourIcons_data()
    {
        QTest::addColumn<int>("bits");
        QTest::newRow("24 bits: the mask makes pixels transparent") << 24;
        QTest::newRow("32 bits: each pixel's own alpha, mask ignored") << 32;
    }
    void trueColourIcons()
    {
        QFETCH(int, bits);
        const Bitmap b {5, 3, bits};
        const QImage image = readIconImage(iconFile({b}), QSize(5, 3));
        QCOMPARE(image.size(), QSize(5, 3));
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x) {
                const QRgb expected = bits == 32 ? QRgb(valueAt(b, x, y))
                    : maskedAt(x, y)             ? qRgba(0, 0, 0, 0)
                                                 : QRgb(valueAt(b, x, y)) | 0xff000000u;
                QCOMPARE(image.pixel(x, y), expected);
            }
        }
    }

    void closestEntryIsRead_data()
    {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<int>("width");
        QTest::newRow("exact small") << QSize(16, 16) << 16;
        QTest::newRow("exact large") << QSize(48, 48) << 48;
        QTest::newRow("between, nearer the small") << QSize(20, 20) << 16;
        QTest::newRow("between, nearer the large") << QSize(44, 44) << 48;
        QTest::newRow("above all") << QSize(256, 256) << 48;
    }
    void closestEntryIsRead()
    {
        QFETCH(QSize, wanted);
        QFETCH(int, width);
        const QByteArray file = iconFile({Bitmap {16, 16, 8}, Bitmap {48, 48, 8}});
        QCOMPARE(readIconImage(file, wanted).width(), width);
    }

    // Offsets and sizes come from the file: a damaged one gives nothing, and
    // reads nothing outside its bytes (the sanitizer build checks the latter).
    void damagedFilesGiveNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("icon");
        const QByteArray icon = iconFile({Bitmap {5, 3, 8}});
        const QByteArray bmp = bmpFile(Bitmap {5, 3, 8});
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("icon directory only") << icon.left(6) << true;
        QTest::newRow("icon cut in the pixels") << icon.left(icon.size() - 20) << true;
        QTest::newRow("icon cut in the mask") << icon.chopped(1) << true;
        QByteArray farOffset = icon;
        qToLittleEndian<quint32>(0x7fffffff, farOffset.data() + 6 + 12);
        QTest::newRow("entry beyond the file") << farOffset << true;
        QByteArray png = icon;
        png.replace(22, 8, QByteArray("\x89PNG\r\n\x1a\n", 8));
        QTest::newRow("png entry") << png << true;
        QByteArray compressed = bmp;
        qToLittleEndian<quint32>(1, compressed.data() + 14 + 16);
        QTest::newRow("compressed bmp") << compressed << false;
        QByteArray huge = bmp;
        qToLittleEndian<qint32>(1 << 30, huge.data() + 14 + 4);
        QTest::newRow("bmp claiming a huge width") << huge << false;
        QTest::newRow("bmp cut in the pixels") << bmp.chopped(1) << false;
    }
    void damagedFilesGiveNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, icon);
        // A copy of exactly the bytes, so that reading past them is caught.
        const auto exact = std::make_unique<char[]>(size_t(qMax<qsizetype>(bytes.size(), 1)));
        std::copy(bytes.cbegin(), bytes.cend(), exact.get());
        const QByteArrayView view(exact.get(), bytes.size());
        QVERIFY((icon ? readIconImage(view, QSize(32, 32)) : readBitmapImage(view)).isNull());
    }
};

QTEST_GUILESS_MAIN(tst_BitmapFile)
#include "tst_bitmapfile.moc"
