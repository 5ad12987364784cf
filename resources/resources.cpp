#include "resources.h"

#include "drawnpictures.h"

#include <QList>

#include <span>

namespace quadrelink::resources {

namespace {

// The image shares the pixels compiled into the program rather than copying
// them; its colour table is the picture's palette.
QImage indexedPicture(std::span<const unsigned char> pixels, std::span<const QRgb> palette)
{
    Q_ASSERT(pixels.size() == std::size_t(drawn::side) * drawn::side);
    QImage image(pixels.data(), drawn::side, drawn::side, drawn::side, QImage::Format_Indexed8);
    image.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    return image;
}

} // namespace

QImage icon1()
{
    return indexedPicture(drawn::icon1Pixels, drawn::icon1Palette);
}

QImage logo()
{
    return indexedPicture(drawn::logoPixels, drawn::logoPalette);
}

} // namespace quadrelink::resources
