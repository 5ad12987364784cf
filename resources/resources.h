#pragma once

// Where the pictures compiled into the program live. Linking
// quadrelink_resources is all a program needs for these paths to resolve.
namespace quadrelink::resources {

// The window and task-bar icon: one 256x256 image that Qt scales down.
inline constexpr auto iconPath = ":/icon1.ico";

// The maker's mark shown in the About panel, 256x256.
inline constexpr auto logoPath = ":/logo.bmp";

} // namespace quadrelink::resources
