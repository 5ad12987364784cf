#include "module1.h"

namespace quadrelink {

void ApplyWindowIcon(User32 &user32, User32::HWND window, const QByteArray &iconName,
                     bool alsoOwner)
{
    // The program's own resources; the platform keeps shared icons for the
    // program's lifetime, so the handles are never released.
    constexpr User32::HINSTANCE instance = 0;

    User32::HWND topOwner = nullptr;
    if (alsoOwner) {
        for (User32::HWND current = window; current;
             current = user32.GetWindow(current, User32::GW_OWNER))
            topOwner = current;
    }

    const auto setIcon = [&](quintptr which, int widthMetric, int heightMetric) {
        const int width = user32.GetSystemMetrics(widthMetric);
        const int height = user32.GetSystemMetrics(heightMetric);
        const User32::HICON icon = user32.LoadImageA(instance, iconName, User32::IMAGE_ICON, width,
                                                     height, User32::LR_SHARED);
        if (alsoOwner)
            user32.SendMessageA(topOwner, User32::WM_SETICON, which, qintptr(icon));
        user32.SendMessageA(window, User32::WM_SETICON, which, qintptr(icon));
    };
    setIcon(User32::ICON_BIG, User32::SM_CXICON, User32::SM_CYICON);
    setIcon(User32::ICON_SMALL, User32::SM_CXSMICON, User32::SM_CYSMICON);
}

} // namespace quadrelink
