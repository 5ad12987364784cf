#include "user32.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QWidget>

namespace quadrelink {

QtUser32::QtUser32(QHash<QString, QImage> iconResources)
{
    for (auto it = iconResources.cbegin(); it != iconResources.cend(); ++it)
        m_iconResources.insert(it.key().toUpper(), it.value());
}

User32::HWND QtUser32::GetWindow(HWND window, int command)
{
    if (!window || command != GW_OWNER || !window->parentWidget())
        return nullptr;
    return window->parentWidget()->window();
}

int QtUser32::GetSystemMetrics(int index)
{
    const QStyle *style = QApplication::style();
    switch (index) {
    case SM_CXICON:
    case SM_CYICON:
        return style->pixelMetric(QStyle::PM_LargeIconSize);
    case SM_CXSMICON:
    case SM_CYSMICON:
        return style->pixelMetric(QStyle::PM_SmallIconSize);
    default:
        return 0;
    }
}

User32::HICON QtUser32::LoadImageA(HINSTANCE, const QByteArray &name, unsigned type, int width,
                                   int height, unsigned flags)
{
    if (type != IMAGE_ICON || width <= 0 || height <= 0)
        return 0;
    const QString resource = QString::fromLatin1(name).toUpper();
    const QImage picture = m_iconResources.value(resource);
    if (picture.isNull())
        return 0;
    const QString key = QStringLiteral("%1@%2x%3").arg(resource).arg(width).arg(height);
    if (flags & LR_SHARED) {
        if (const HICON shared = m_shared.value(key))
            return shared;
    }
    const QPixmap pixmap = iconPixmap(picture, QSize(width, height));
    if (pixmap.isNull())
        return 0;
    m_loaded.append(pixmap);
    const HICON handle = HICON(m_loaded.size());
    if (flags & LR_SHARED)
        m_shared.insert(key, handle);
    return handle;
}

QPixmap QtUser32::iconPixmap(const QImage &picture, QSize size)
{
    const qreal ratio = qApp->devicePixelRatio();
    const QSize pixels = size * ratio;
    // Scaled to the size asked for, in device pixels, so that the icon stays
    // sharp on a screen that scales the window.
    QPixmap pixmap = QPixmap::fromImage(
        picture.size() == pixels
            ? picture
            : picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

qintptr QtUser32::SendMessageA(HWND window, unsigned message, quintptr wParam, qintptr lParam)
{
    if (!window || message != WM_SETICON)
        return 0;
    auto it = std::find_if(m_windows.begin(), m_windows.end(),
                           [&](const WindowIcons &w) { return w.window == window; });
    if (it == m_windows.end())
        it = m_windows.insert(m_windows.end(), WindowIcons {window, 0, 0});

    const HICON handle = HICON(lParam);
    const HICON previous = wParam == ICON_BIG ? it->large : it->small;
    (wParam == ICON_BIG ? it->large : it->small) = handle;

    QIcon icon;
    for (const HICON h : {it->large, it->small})
        if (h > 0 && h <= HICON(m_loaded.size()))
            icon.addPixmap(m_loaded.at(qsizetype(h - 1)));
    window->setWindowIcon(icon);
    return qintptr(previous);
}

} // namespace quadrelink
