#include "bitmapfile.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <cstdlib>
#include <limits>

namespace quadrelink {

namespace {

constexpr qsizetype iconDirectorySize = 6;
constexpr qsizetype iconEntrySize = 16;
constexpr qsizetype fileHeaderSize = 14;
constexpr qsizetype bitmapHeaderSize = 40;
constexpr int largestSide = 4096;

// Bounds-checked little-endian reads: every offset and size in a bitmap file
// comes from the file itself.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    { }

    [[nodiscard]] bool has(qint64 offset, qint64 size) const
    {
        return offset >= 0 && size >= 0 && offset <= m_bytes.size()
            && size <= m_bytes.size() - offset;
    }
    [[nodiscard]] quint8 u8(qint64 offset) const { return quint8(m_bytes[qsizetype(offset)]); }
    [[nodiscard]] quint16 u16(qint64 offset) const
    {
        return qFromLittleEndian<quint16>(m_bytes.data() + offset);
    }
    [[nodiscard]] quint32 u32(qint64 offset) const
    {
        return qFromLittleEndian<quint32>(m_bytes.data() + offset);
    }
    [[nodiscard]] qint32 i32(qint64 offset) const
    {
        return qFromLittleEndian<qint32>(m_bytes.data() + offset);
    }

private:
    QByteArrayView m_bytes;
};

enum class Mask { None, Follows };

// One device-independent bitmap: its header at `header`, its palette right
// after the header, its pixels at `pixels` (-1: right after the palette), and
// for an icon the transparency mask after the pixels (1 = transparent).
QImage readDib(const Reader &file, qint64 header, qint64 pixels, Mask mask)
{
    if (!file.has(header, bitmapHeaderSize))
        return {};
    const quint32 headerSize = file.u32(header);
    const qint32 width = file.i32(header + 4);
    qint32 storedHeight = file.i32(header + 8);
    const int bits = file.u16(header + 14);
    const quint32 compression = file.u32(header + 16);
    const quint32 coloursUsed = file.u32(header + 32);
    constexpr quint32 uncompressed = 0;
    if (headerSize < bitmapHeaderSize || compression != uncompressed)
        return {};

    // Rows are stored bottom up unless the height is negative; an icon's
    // height counts the colour rows and the mask rows together.
    const bool topDown = storedHeight < 0 && mask == Mask::None;
    if (topDown)
        storedHeight = -storedHeight;
    if (mask == Mask::Follows) {
        if (storedHeight % 2 != 0)
            return {};
        storedHeight /= 2;
    }
    const int height = storedHeight;
    if (width <= 0 || width > largestSide || height <= 0 || height > largestSide)
        return {};

    int paletteSize = 0;
    switch (bits) {
    case 1:
    case 4:
    case 8:
        paletteSize = coloursUsed ? int(qMin<quint32>(coloursUsed, 1u << bits)) : 1 << bits;
        break;
    case 24:
    case 32:
        break;
    default:
        return {};
    }
    const qint64 palette = header + headerSize;
    if (pixels < 0)
        pixels = palette + qint64(paletteSize) * 4;
    const qint64 stride = ((qint64(width) * bits + 31) / 32) * 4;
    const qint64 maskStart = pixels + stride * height;
    const qint64 maskStride = mask == Mask::Follows ? ((qint64(width) + 31) / 32) * 4 : 0;
    if (!file.has(palette, qint64(paletteSize) * 4) || !file.has(pixels, stride * height)
        || !file.has(maskStart, maskStride * height))
        return {};

    // A BMP file has no transparency: its picture is opaque, which also spares
    // each repaint of it the blending.
    QImage image(width, height,
                 mask == Mask::Follows ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    QRgb colours[256] = {};
    for (int i = 0; i < paletteSize; ++i) {
        const qint64 at = palette + qint64(i) * 4;
        colours[i] = qRgb(file.u8(at + 2), file.u8(at + 1), file.u8(at));
    }

    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        const qint64 row = pixels + stride * stored;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                line[x] = colours[(file.u8(row + x / perByte) >> shift) & ((1 << bits) - 1)];
            } else {
                const qint64 at = row + qint64(x) * (bits / 8);
                const int alpha = bits == 32 ? file.u8(at + 3) : 255;
                anyAlpha = anyAlpha || alpha != 0;
                line[x] = qRgba(file.u8(at + 2), file.u8(at + 1), file.u8(at), alpha);
            }
        }
    }

    // A 32-bit icon bitmap carries its own transparency, unless all its alpha
    // bytes are zero: then it comes from a writer that relied on the mask alone.
    if (mask == Mask::None || (bits == 32 && anyAlpha))
        return image;
    for (int y = 0; y < height; ++y) {
        const qint64 maskRow = maskStart + maskStride * (height - 1 - y);
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const bool transparent = (file.u8(maskRow + x / 8) >> (7 - x % 8)) & 1;
            line[x] = transparent ? qRgba(0, 0, 0, 0) : (line[x] | 0xff000000u);
        }
    }
    return image;
}

// The entry whose size is closest to the wanted one; between two equally
// close, the larger, which scales down better than the smaller scales up.
qint64 closestIconEntry(const Reader &file, int count, QSize wanted)
{
    qint64 best = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    int bestWidth = 0;
    for (int i = 0; i < count; ++i) {
        const qint64 entry = iconDirectorySize + qint64(i) * iconEntrySize;
        const int width = file.u8(entry) ? file.u8(entry) : 256;
        const int height = file.u8(entry + 1) ? file.u8(entry + 1) : 256;
        const qint64 distance
            = std::abs(qint64(width) * height - qint64(wanted.width()) * wanted.height());
        if (distance < bestDistance || (distance == bestDistance && width > bestWidth)) {
            best = entry;
            bestDistance = distance;
            bestWidth = width;
        }
    }
    return best;
}

} // namespace

QImage readIconImage(QByteArrayView bytes, QSize wanted)
{
    const Reader file(bytes);
    constexpr quint16 iconType = 1;
    if (!file.has(0, iconDirectorySize) || file.u16(0) != 0 || file.u16(2) != iconType)
        return {};
    const int count = file.u16(4);
    if (count == 0 || !file.has(iconDirectorySize, qint64(count) * iconEntrySize))
        return {};
    const qint64 entry = closestIconEntry(file, count, wanted);
    return readDib(file, file.u32(entry + 12), -1, Mask::Follows);
}

QImage readBitmapImage(QByteArrayView bytes)
{
    const Reader file(bytes);
    if (!file.has(0, fileHeaderSize) || file.u8(0) != 'B' || file.u8(1) != 'M')
        return {};
    return readDib(file, fileHeaderSize, file.u32(10), Mask::None);
}

QImage readPicture(const QString &path, QSize wanted)
{
    QImage image;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        image = bytes.startsWith("BM") ? readBitmapImage(bytes) : readIconImage(bytes, wanted);
    }
    if (image.isNull())
        image = QImageReader(path).read();
    return image;
}

} // namespace quadrelink
