#pragma once

#include "formdefinition.h"

#include <QString>

class QComboBox;

namespace quadrelink {

// What a screen reader reads for the port-state indicator: "open" while it
// shows green, "closed" otherwise.
[[nodiscard]] QString portStateText(form::Colour indicatorColour);

// Sets a settings box's description, a screen reader's words after its value,
// on the box and on its text field, which holds the focus inside an editable
// box.
void describeBox(QComboBox &box, const QString &description);

// Gives the parity box's letter its word ("n" is "none", "e" "even", "o"
// "odd", "s" "space", "m" "mark") as the box's description, which a screen
// reader says after the letter.
void describeParityLetters(QComboBox &parityBox);

// Teaches Qt's accessibility the window's own kinds of control, in forms that
// Qt's AT-SPI bridge passes on: the indicator (Shape) and readouts are labels
// whose text a screen reader reads, with the places of their characters for
// a screen reader's review of the screen, and which tell a changed text as
// text replaced; settings boxes (combo boxes with an accessible name) keep
// that name on every platform; and a control that another one, stacked above
// it, covers whole (the About panel over the readouts) is left out of the
// window's children while covered, so that reviewing the screen reads what is
// seen. Qt makes a control's accessible interface once, when it is first
// asked for it, so labels and boxes are named before they are given any text.
// Safe to call more than once.
void installAccessibleInterfaces();

} // namespace quadrelink
