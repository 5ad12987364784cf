#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QString>

class QWidget;

namespace quadrelink {

// The four window-icon functions that start-up relies on, named and numbered as
// the platform's own. The window program talks to them through this interface;
// QtUser32 implements them over Qt, and tests record what is asked of them.
class User32
{
public:
    using HWND = QWidget *;
    using HICON = quintptr; // 0: no icon
    using HINSTANCE = quintptr;

    static constexpr int GW_OWNER = 4;
    static constexpr int SM_CXICON = 11;
    static constexpr int SM_CYICON = 12;
    static constexpr int SM_CXSMICON = 49;
    static constexpr int SM_CYSMICON = 50;
    static constexpr unsigned IMAGE_ICON = 1;
    static constexpr unsigned LR_SHARED = 0x8000;
    static constexpr unsigned WM_SETICON = 0x80;
    static constexpr quintptr ICON_SMALL = 0;
    static constexpr quintptr ICON_BIG = 1;

    virtual ~User32() = default;

    [[nodiscard]] virtual HWND GetWindow(HWND window, int command) = 0;
    [[nodiscard]] virtual int GetSystemMetrics(int index) = 0;
    [[nodiscard]] virtual HICON LoadImageA(HINSTANCE instance, const QByteArray &name,
                                           unsigned type, int width, int height, unsigned flags)
        = 0;
    virtual qintptr SendMessageA(HWND window, unsigned message, quintptr wParam, qintptr lParam)
        = 0;
};

// The icon functions over Qt: a window's owner is the window of its parent
// widget; the icon sizes are the style's large and small icon sizes; icon
// resources are the program's own pictures, found by name without regard to
// case, and scaled once per size into shared handles that live as long as this
// object; WM_SETICON sets the large or the small picture of the window's icon.
class QtUser32 final : public User32
{
public:
    // Icon resources by name (matched without regard to case) → picture.
    explicit QtUser32(QHash<QString, QImage> iconResources);

    HWND GetWindow(HWND window, int command) override;
    int GetSystemMetrics(int index) override;
    HICON LoadImageA(HINSTANCE instance, const QByteArray &name, unsigned type, int width,
                     int height, unsigned flags) override;
    qintptr SendMessageA(HWND window, unsigned message, quintptr wParam, qintptr lParam) override;

private:
    struct WindowIcons
    {
        QPointer<QWidget> window;
        HICON large = 0;
        HICON small = 0;
    };

    [[nodiscard]] static QPixmap iconPixmap(const QImage &picture, QSize size);

    QHash<QString, QImage> m_iconResources;
    QList<QPixmap> m_loaded; // handle n is m_loaded[n - 1]
    QHash<QString, HICON> m_shared;
    QList<WindowIcons> m_windows;
};

#ifdef Q_OS_WIN
// The icon functions of Windows' own user32 library (user32_win.cpp): a window
// is its native window, an icon a native icon loaded from the program's
// resources (the icon group ICON1 of its .rc file), and WM_SETICON reaches the
// window as the system's message.
class WinUser32 final : public User32
{
public:
    HWND GetWindow(HWND window, int command) override;
    int GetSystemMetrics(int index) override;
    HICON LoadImageA(HINSTANCE instance, const QByteArray &name, unsigned type, int width,
                     int height, unsigned flags) override;
    qintptr SendMessageA(HWND window, unsigned message, quintptr wParam, qintptr lParam) override;
};
#endif

} // namespace quadrelink
