#pragma once

#include "user32.h"

namespace quadrelink {

// Gives a window its application icon, large and small, and with alsoOwner the
// outermost window of its owner chain too, so that the task bar shows it.
void ApplyWindowIcon(User32 &user32, User32::HWND window, const QByteArray &iconName,
                     bool alsoOwner);

} // namespace quadrelink
