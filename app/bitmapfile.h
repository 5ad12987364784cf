#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

namespace quadrelink {

// The program's pictures are Windows bitmaps: the application icon an icon
// file, the About-panel logo a BMP file. They are read here rather than through
// Qt's image readers because those first load the description of every
// image-format plugin installed, and then the icon plugin itself, which costs
// start-up more than reading both pictures.
//
// Device-independent bitmaps of 1, 4, 8, 24 and 32 bits per pixel without
// compression are read, as ARGB32 and unscaled; anything else (compression, a
// PNG icon entry, a damaged file) gives a null image.

// The entry of an icon file (ICONDIR, then bitmaps with their transparency
// mask) closest in size to `wanted`.
[[nodiscard]] QImage readIconImage(QByteArrayView file, QSize wanted);

// A BMP file (BITMAPFILEHEADER, then the bitmap).
[[nodiscard]] QImage readBitmapImage(QByteArrayView file);

// The picture in the file at `path` (a resource or a file on disk): read as
// above, and through Qt's image readers when that gives nothing.
[[nodiscard]] QImage readPicture(const QString &path, QSize wanted = {});

} // namespace quadrelink
