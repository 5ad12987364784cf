#pragma once

#include "formdefinition.h"

#include <QLabel>
#include <QString>

#include <optional>

class QComboBox;

namespace quadrelink {

class Shape;

// What a screen reader reads for the port-state indicator: "open" while it
// shows green, "closed" otherwise.
[[nodiscard]] QString portStateText(form::Colour indicatorColour);

// A label that shows readings (the distance or the response) and tells a
// screen reader of them. What it reads is the last reading that was not
// blank: the blank a polling tick shows until its answer comes is neither
// read nor told, and a reading equal to the last one told is not told again,
// so a screen reader that follows the readout hears it only when it changes.
class Readout final : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    void showReading(const QString &text);
    [[nodiscard]] QString reading() const { return m_reading.value_or(text()); }

private:
    // Empty until the first reading: the text at creation reads until then.
    std::optional<QString> m_reading;
};

// Says a short message through the screen reader now, whatever has the focus.
// The message is spoken once and is no part of what is read on demand.
class Announcer final
{
public:
    // The messages come from the window's client area.
    explicit Announcer(QWidget &client);

    void announce(const QString &message);

private:
    // What tells the messages: the client area itself, or before Qt 6.8 a
    // speaker inside it.
    QWidget *m_speaker;
};

// Shows the port state: the indicator's colour, and for a screen reader the
// indicator's text and the port-number box's description ("port open" or
// "port closed"), so that a screen reader says the state with the box, and
// again when asked where the focus is. Returns whether the state changed.
bool showPortState(Shape &indicator, QComboBox &portBox, bool open);

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
