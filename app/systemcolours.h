#pragma once

#include "formdefinition.h"

#include <QColor>
#include <QPalette>

namespace quadrelink {

// The palette role that stands for a system colour number:
//
//   number  system colour       palette role
//    0      scroll bar          Mid
//    5      window background   Base
//    6      window frame        Shadow
//    8      window text         Text
//   10      active border       Midlight
//   15      button face         Button
//   18      button text         ButtonText
//
// Any other number falls back to Window.
[[nodiscard]] QPalette::ColorRole paletteRoleForSystemColour(int number);

// A colour of the window's tables (0x00BBGGRR, or a system colour number) as a
// QColor, system colours taken from the given palette.
[[nodiscard]] QColor toQColor(form::Colour colour, const QPalette &palette);

} // namespace quadrelink
