#pragma once

#include <QPalette>

// A dark desktop's colours, as KDE's Breeze Dark gives them: light text on
// dark surfaces.
inline QPalette darkScheme()
{
    QPalette scheme(QColor(0x31, 0x36, 0x3b));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        scheme.setColor(role, QColor(0xfc, 0xfc, 0xfc));
    scheme.setColor(QPalette::Base, QColor(0x1b, 0x1e, 0x20));
    scheme.setColor(QPalette::Window, QColor(0x2a, 0x2e, 0x32));
    return scheme;
}
