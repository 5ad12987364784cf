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

// The contrast of two colours as readers with low vision see it, from 1 (the
// same) to 21 (black on white); text wants at least 4.5.
[[nodiscard]] double contrastRatio(const QColor &a, const QColor &b);

// The colour to draw text in on a background. The design chose its system
// text colours for a light desktop: on a background of fixed colour (the
// light-yellow readouts) they would vanish under a dark scheme, so such text is
// black or white, whichever stands out more. Text on a background that follows
// the system keeps the system's colour unless the two cannot be told apart.
[[nodiscard]] QColor readableOn(const QColor &background, const QColor &text,
                                bool backgroundFollowsSystem);

} // namespace quadrelink
