#pragma once

#include <QtGlobal>

#include <string_view>

namespace quadrelink {

// The serial control's settings at creation. They stay in force until the
// first apply of the settings boxes, whose initial texts equal them, and every
// run starts from them again: the program keeps no settings.
struct CommDefaults
{
    qint16 commPort = 1;
    std::string_view settings = "1200,n,8,1";
    int inBufferSize = 1024; // received bytes held by the control; more wait in the system
};
inline constexpr CommDefaults commDefaults {};

} // namespace quadrelink
