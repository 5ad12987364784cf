#include "systemcolours.h"

namespace quadrelink {

QPalette::ColorRole paletteRoleForSystemColour(int number)
{
    switch (number) {
    case 0:
        return QPalette::Mid;
    case 5:
        return QPalette::Base;
    case 6:
        return QPalette::Shadow;
    case 8:
        return QPalette::Text;
    case 10:
        return QPalette::Midlight;
    case 15:
        return QPalette::Button;
    case 18:
        return QPalette::ButtonText;
    default:
        return QPalette::Window;
    }
}

QColor toQColor(form::Colour colour, const QPalette &palette)
{
    if (form::isSystemColour(colour))
        return palette.color(paletteRoleForSystemColour(int(colour & 0xFFu)));
    return QColor(int(colour & 0xFFu), int((colour >> 8) & 0xFFu), int((colour >> 16) & 0xFFu));
}

} // namespace quadrelink
