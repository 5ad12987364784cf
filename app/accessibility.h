#pragma once

#include "formdefinition.h"

#include <QString>

class QLabel;

namespace quadrelink {

// What a screen reader reads for the port-state indicator: "open" while it
// shows green, "closed" otherwise.
[[nodiscard]] QString portStateText(form::Colour indicatorColour);

// Shows a reading in a readout (the distance or the response) and tells a
// screen reader of it. The readout's accessible text is the last reading that
// was not blank: the blank a polling tick shows until its answer comes is
// neither read nor told, and a reading equal to the last one told is not told
// again, so a screen reader speaks only when the value changes.
void showReadout(QLabel &label, const QString &text);

// Teaches Qt's accessibility the window's own kinds of control, in forms that
// Qt's AT-SPI bridge passes on: the indicator (Shape) and readouts (labels
// with an accessible name of their own, showing text) are labels whose text a
// screen reader reads, and which tell a changed text as text replaced; settings
// boxes (combo boxes with an accessible name) keep that name on every
// platform. Qt makes a control's accessible interface once, when it is first
// asked for it, so labels and boxes are named before they are given any text.
// Safe to call more than once.
void installAccessibleInterfaces();

} // namespace quadrelink
