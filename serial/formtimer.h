#pragma once

#include <QObject>
#include <QTimer>

namespace quadrelink {

// A timer of the window: it raises Timer every interval, measured from when it
// was enabled, for as long as it is enabled. Enabling a timer that is already
// enabled does not restart it, so a second click within a reply delay is
// followed by one read, one delay after the first click.
class FormTimer final : public QObject
{
    Q_OBJECT

public:
    explicit FormTimer(int intervalMs, QObject *parent = nullptr);

    [[nodiscard]] bool Enabled() const { return m_timer.isActive(); }
    void setEnabled(bool enabled);

    [[nodiscard]] int Interval() const { return m_timer.interval(); }
    // Milliseconds to the next tick while enabled.
    [[nodiscard]] int remainingTime() const { return m_timer.remainingTime(); }

signals:
    void Timer();

private:
    QTimer m_timer;
};

} // namespace quadrelink
