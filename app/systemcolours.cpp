#include "systemcolours.h"

#include <algorithm>
#include <cmath>

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

namespace {

// Relative luminance of an sRGB colour.
double luminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor readableOn(const QColor &background, const QColor &text, bool backgroundFollowsSystem)
{
    constexpr double readable = 4.5;
    if (backgroundFollowsSystem && contrastRatio(background, text) >= readable)
        return text;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return contrastRatio(background, black) >= contrastRatio(background, white) ? black : white;
}

} // namespace quadrelink
