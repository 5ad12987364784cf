#include "settingsreapply.h"

#include "commerror.h"
#include "mscomm.h"

#include <utility>

namespace quadrelink {

SettingsReapply::SettingsReapply(MSComm &comm, Report report, QObject *parent)
    : QObject(parent)
    , m_comm(comm)
    , m_report(std::move(report))
    , m_timer2(applyDelayMs, this)
{
    m_timer2.setObjectName(QStringLiteral("Timer2"));
    // A device that goes away closes the port under us; the indicator must not
    // go on showing green for a port that is gone.
    connect(&m_comm, &MSComm::portLost, this, &SettingsReapply::showPortState);
}

void SettingsReapply::choose()
{
    if (m_comm.PortOpen())
        m_comm.setPortOpen(false);
    if (m_applying)
        m_choiceWhileApplying = true;
    m_timer2.setEnabled(true);
}

void SettingsReapply::apply(const SettingsTexts &texts)
{
    // Timer2 stays enabled while the message is open; its ticks then must not
    // open a second one.
    if (m_applying)
        return;
    m_applying = true;

    if (applySettingsTexts(m_comm, texts)) {
        // The port is closed while the message waits for the operator: the
        // indicator says so rather than the green of before the choice.
        showPortState();
        m_report(refusedMessage);
    }
    OpenPortAndShowState();
    m_timer2.setEnabled(false);

    m_applying = false;
    // A choice made while the message was open reads the boxes once more.
    if (std::exchange(m_choiceWhileApplying, false))
        choose();
}

void SettingsReapply::OpenPortAndShowState()
{
    runSuppressed([&] { m_comm.setPortOpen(true); });
    showPortState();
}

void SettingsReapply::showPortState()
{
    // A failing read counts as closed.
    bool open = false;
    runSuppressed([&] { open = m_comm.PortOpen(); });
    emit portStateShown(open);
}

} // namespace quadrelink
