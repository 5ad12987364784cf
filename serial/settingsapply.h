#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace quadrelink {

class MSComm;

// Reads a port-number text: a decimal number with spaces around it allowed; a
// fraction goes to the nearest whole number and a half to the even one ("2.5"
// → 2, "3.5" → 4). Texts that are no number or lie outside −32768…32767 give
// std::nullopt.
[[nodiscard]] std::optional<qint16> parsePortNumber(const QString &text);

// The settings boxes, in this order: port number, baud rate, parity, data
// bits, stop bits. The window has one box per setting; the boxes after the
// port number give the fields of the line settings, in their order.
inline constexpr std::size_t settingsBoxCount = 5;

// The texts of the settings boxes.
using SettingsTexts = std::array<QString, settingsBoxCount>;

// Writes the port number and the line settings of the boxes to the closed
// control. A port number that is no number, out of range or refused by the
// control leaves the previous one in force; refused line settings leave the
// previous ones in force. Returns whether anything was refused, which the
// operator is told once, whichever box was wrong.
[[nodiscard]] bool applySettingsTexts(MSComm &comm, const SettingsTexts &texts);

} // namespace quadrelink
