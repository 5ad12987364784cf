#pragma once

#include "formdefinition.h"

#include <QString>

namespace quadrelink {

// What a screen reader says for the port-state indicator: "open" while it
// shows green, "closed" otherwise.
[[nodiscard]] QString portStateText(form::Colour indicatorColour);

// Teaches Qt's accessibility the window's own kinds of control: the indicator
// (Shape), whose value is the port state; readouts, labels with an accessible
// name of their own, whose value is the text they show; and settings boxes,
// combo boxes with an accessible name, which keep that name on every platform.
// Qt makes a control's accessible interface once, when it is first asked for
// it (a running screen reader asks at the first change of text), so labels
// and boxes are named before they are given any text. Safe to call more than
// once.
void installAccessibleInterfaces();

} // namespace quadrelink
