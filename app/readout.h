#pragma once

#include <QLabel>
#include <QString>

#include <optional>

namespace quadrelink {

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
    // The reading as a sighted operator sees it: a control character the device
    // sent is drawn as a box for a character the font does not have, so it is
    // read as the character that stands for one that cannot be shown, one for
    // one. Raw, a NUL would cut the text short on its way to a screen reader,
    // and a bell or an escape would reach it as a command.
    [[nodiscard]] QString reading() const { return m_reading.value_or(text()); }

private:
    // Empty until the first reading: the text at creation reads until then.
    std::optional<QString> m_reading;
};

} // namespace quadrelink
