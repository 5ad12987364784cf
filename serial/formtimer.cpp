#include "formtimer.h"

namespace quadrelink {

FormTimer::FormTimer(int intervalMs, QObject *parent)
    : QObject(parent)
{
    // The polling period and the reply delays are the rhythm the sensor is read
    // at; a coarse timer would let them drift by up to 5%.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &FormTimer::Timer);
}

void FormTimer::setEnabled(bool enabled)
{
    if (!enabled)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

} // namespace quadrelink
