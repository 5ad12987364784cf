// quadrelink-iconexport: writes the application icon as PNG files at the sizes a
// desktop's icon theme asks for, so that menus and launchers show the same
// picture as the window without anyone exporting it by hand.
//
//   quadrelink-iconexport ICON OUTDIR NAME SIZE...
//
// writes OUTDIR/<SIZE>x<SIZE>/apps/NAME.png for every SIZE, each scaled
// smoothly from the largest picture in ICON and keeping its transparency.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

namespace {

// An icon file may hold several pictures; the largest gives the best small ones.
QImage largestPicture(const QString &path, QString &error)
{
    QImageReader reader(path);
    QImage best;
    do {
        QImage picture = reader.read();
        if (picture.isNull()) {
            error = reader.errorString();
            break;
        }
        if (picture.width() * picture.height() > best.width() * best.height())
            best = std::move(picture);
    } while (reader.jumpToNextImage());
    // The icon's mask becomes an alpha channel; scaling must average it too.
    return best.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() < 4) {
        err << "usage: quadrelink-iconexport ICON OUTDIR NAME SIZE...\n";
        return 2;
    }
    const QString &iconPath = arguments[0];
    const QDir outDir(arguments[1]);
    const QString &name = arguments[2];

    QString error;
    const QImage source = largestPicture(iconPath, error);
    if (source.isNull()) {
        err << iconPath << ": " << error << '\n';
        return 1;
    }

    for (const QString &sizeText : arguments.mid(3)) {
        bool isNumber = false;
        const int size = sizeText.toInt(&isNumber);
        if (!isNumber || size < 1) {
            err << "not a size: " << sizeText << '\n';
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!outDir.mkpath(folder)) {
            err << "cannot create " << outDir.filePath(folder) << '\n';
            return 1;
        }
        const QString target = outDir.filePath(QStringLiteral("%1/%2.png").arg(folder, name));
        const QImage scaled
            = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!scaled.convertToFormat(QImage::Format_ARGB32).save(target, "PNG")) {
            err << "cannot write " << target << '\n';
            return 1;
        }
    }
    return 0;
}
