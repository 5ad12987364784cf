// The window-icon functions over Windows' user32, built only on Windows.

#include "user32.h"

#include <QWidget>

// After the interface: <windows.h> defines the names of its constants (and
// `small`) as macros.
#include <windows.h>

namespace quadrelink {

namespace {

::HWND nativeWindow(User32::HWND window)
{
    return window ? reinterpret_cast<::HWND>(window->winId()) : nullptr;
}

} // namespace

User32::HWND WinUser32::GetWindow(HWND window, int command)
{
    const ::HWND answer = ::GetWindow(nativeWindow(window), UINT(command));
    // An owner that is not one of the program's own windows has no widget.
    return answer ? QWidget::find(reinterpret_cast<WId>(answer)) : nullptr;
}

int WinUser32::GetSystemMetrics(int index)
{
    return ::GetSystemMetrics(index);
}

User32::HICON WinUser32::LoadImageA(HINSTANCE instance, const QByteArray &name, unsigned type,
                                    int width, int height, unsigned flags)
{
    // Instance 0 stands for the program itself.
    const ::HINSTANCE module
        = instance ? reinterpret_cast<::HINSTANCE>(instance) : ::GetModuleHandleW(nullptr);
    return reinterpret_cast<HICON>(
        ::LoadImageA(module, name.constData(), type, width, height, flags));
}

qintptr WinUser32::SendMessageA(HWND window, unsigned message, quintptr wParam, qintptr lParam)
{
    return ::SendMessageA(nativeWindow(window), message, wParam, lParam);
}

} // namespace quadrelink
