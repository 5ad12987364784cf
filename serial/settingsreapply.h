#pragma once

#include "formtimer.h"
#include "settingsapply.h"

#include <QObject>
#include <QString>

#include <functional>

namespace quadrelink {

class MSComm;

// Applying the five settings boxes to the serial control. A choice in any box
// closes the port at once and arms the apply delay (Timer2); when it has
// passed, the apply writes the port number and the line settings, reports
// refused ones, reopens the port and shows its state. The window connects
// Timer2 to its handler, passes the boxes' texts as they are when the apply
// runs, and shows the port state that comes out.
class SettingsReapply final : public QObject
{
    Q_OBJECT

public:
    static constexpr int applyDelayMs = 100;

    // The one message the program shows: the control refused the settings.
    static inline const QString refusedMessage = QStringLiteral("Недопустимо");

    // Shows a message to the operator and returns when it was closed.
    using Report = std::function<void(const QString &message)>;

    SettingsReapply(MSComm &comm, Report report, QObject *parent = nullptr);

    [[nodiscard]] FormTimer &applyDelay() { return m_timer2; }

    // A choice from a box's list, also of the entry already shown: nothing
    // compares old and new values.
    void choose();
    // The apply, with the texts of the five boxes.
    void apply(const SettingsTexts &texts);

    // Opens the port with the control's current settings and shows whether it
    // is open. Start-up runs it too.
    void OpenPortAndShowState();

signals:
    // The port's state as read back from the control: open (green) or not (red).
    void portStateShown(bool open);

private:
    void showPortState();

    MSComm &m_comm;
    Report m_report;
    FormTimer m_timer2;
    bool m_applying = false; // the apply waits for the operator to close its message
    bool m_choiceWhileApplying = false;
};

} // namespace quadrelink
