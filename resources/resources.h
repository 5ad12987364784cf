#pragma once

#include <QImage>

// The pictures compiled into the program, as pixels ready for QImage: nothing
// is read or decoded at start-up. Linking quadrelink_resources is all a program
// needs for them.
namespace quadrelink::resources {

// ICON1, the window and task-bar icon: one 256x256 picture of 256 colours,
// transparent outside its rounded tile. Qt scales it to each size asked for.
[[nodiscard]] QImage icon1();

// The maker's mark shown in the About panel: 256x256, 8 bits per pixel, opaque.
[[nodiscard]] QImage logo();

} // namespace quadrelink::resources
