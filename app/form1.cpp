#include "form1.h"

#include "accessibility.h"
#include "eventfilters.h"
#include "formdefinition.h"
#include "module1.h"
#include "resources/resources.h"
#include "sensor/extractreply.h"
#include "serial/mscomm.h"
#include "shape.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>

namespace quadrelink {

namespace {

std::unique_ptr<User32> programIcons()
{
#ifdef Q_OS_WIN
    return std::make_unique<WinUser32>();
#else
    return std::make_unique<QtUser32>(
        QHash<QString, QImage> {{QStringLiteral("ICON1"), resources::icon1()}});
#endif
}

} // namespace

Form1::Form1(std::unique_ptr<MSComm> comm, Form1Environment environment, QWidget *parent)
    : QMainWindow(parent)
    , m_environment(std::move(environment))
    , m_controls(buildForm(*this))
    , m_MSComm1(comm.release())
    , m_dialogue(*m_MSComm1)
    , m_reapply(*m_MSComm1,
                [this](const QString &message) { m_environment.messageBox(this, message); })
    , m_announcer(*m_controls.client)
{
    m_MSComm1->setParent(this);
    m_MSComm1->setObjectName(QStringLiteral("MSComm1"));
    if (!m_environment.user32)
        m_environment.user32 = programIcons();

    connectHandlers();
    describeParityLetters(*m_controls.Combo1[2]);
    Form_Load();
    m_controls.Combo1[0]->setFocus();
}

Form1::~Form1() = default;

FormTimer &Form1::timer(int number)
{
    switch (number) {
    case 1:
        return m_dialogue.pollingClock();
    case 2:
        return m_reapply.applyDelay();
    case 3:
        return m_dialogue.distanceReplyDelay();
    default:
        return m_dialogue.commandReplyDelay();
    }
}

void Form1::connectHandlers()
{
    connect(m_controls.Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(m_controls.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_controls.Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(&timer(1), &FormTimer::Timer, this, &Form1::Timer1_Timer);
    connect(&timer(3), &FormTimer::Timer, this, &Form1::Timer3_Timer);
    connect(&timer(4), &FormTimer::Timer, this, &Form1::Timer4_Timer);
    connect(&m_dialogue, &SensorDialogue::distanceShown, this,
            [this](const QString &text) { m_controls.Label2->showReading(displayText(text)); });
    // The answer to the operator's command is said as it shows: the focus is
    // on "Out", not on the readout.
    connect(&m_dialogue, &SensorDialogue::responseShown, this, [this](const QString &text) {
        m_controls.Label6->showReading(displayText(text));
        announceReading(*m_controls.Label6);
    });
    // A key that says the distance wherever the focus is, so that it can be
    // heard without leaving the controls.
    auto *sayDistance = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(sayDistance, &QShortcut::activated, this,
            [this] { announceReading(*m_controls.Label2); });

    for (int i = 0; i < int(m_controls.Combo1.size()); ++i) {
        // activated is a choice from the list, by mouse, arrow keys or the wheel
        // over the focused box, also of the entry already shown; typing and
        // editing raise nothing.
        connect(m_controls.Combo1[i], &QComboBox::activated, this, [this, i] { Combo1_Click(i); });
    }
    connect(&timer(2), &FormTimer::Timer, this, &Form1::Timer2_Timer);
    connect(&m_reapply, &SettingsReapply::portStateShown, this, [this](bool open) {
        // Said once as it changes, after a choice in the boxes or when
        // the device goes away; not at start-up, before the window shows.
        if (showPortState(open) && isVisible())
            m_announcer.announcePortState(*m_controls.Combo1[0]);
    });

    connect(m_controls.mnu_prog, &QAction::triggered, this, &Form1::mnu_prog_Click);
    for (int i = 0; i < int(m_controls.Frame1.size()); ++i) {
        auto *surface = new ClickWatcher(m_controls.Frame1[i], ClickWatcher::Area::OwnSurface);
        connect(surface, &ClickWatcher::clicked, this, [this, i] { Frame1_Click(i); });
    }
    auto *image = new ClickWatcher(m_controls.Image2, ClickWatcher::Area::Whole);
    connect(image, &ClickWatcher::clicked, this, &Form1::Image2_Click);
    auto *makerText = new ClickWatcher(m_controls.Text9->viewport(), ClickWatcher::Area::Whole);
    connect(makerText, &ClickWatcher::clicked, this, &Form1::Text9_Click);
}

void Form1::Form_Load()
{
    ApplyWindowIcon(*m_environment.user32, this, QByteArrayLiteral("Icon1"), true);

    // From here on nothing is reported: a missing or busy port shows only as
    // the red indicator, and the caption and the About texts are set anyway.
    m_reapply.OpenPortAndShowState();
    setWindowTitle(formCaption(m_environment.today(), m_environment.regional));
    m_controls.Text9->setPlainText(makerText());
    m_controls.Text8->setPlainText(termsText());
}

SettingsTexts Form1::settingsTexts() const
{
    SettingsTexts texts;
    std::ranges::transform(m_controls.Combo1, texts.begin(), &QComboBox::currentText);
    return texts;
}

void Form1::Form_Unload(qint16 &)
{
    if (m_MSComm1->PortOpen())
        m_MSComm1->setPortOpen(false);
}

void Form1::Command1_Click()
{
    m_dialogue.startPolling();
}

void Form1::Command2_Click()
{
    m_dialogue.stopPolling();
}

void Form1::Timer1_Timer()
{
    m_dialogue.pollingTick();
}

void Form1::Timer3_Timer()
{
    m_dialogue.distanceReplyDue();
}

void Form1::Command3_Click()
{
    m_dialogue.sendCommand(m_controls.Text1->text());
}

void Form1::Timer4_Timer()
{
    m_dialogue.commandReplyDue();
}

void Form1::Combo1_Click(int)
{
    m_reapply.choose();
}

void Form1::Timer2_Timer()
{
    m_reapply.apply(settingsTexts());
}

void Form1::mnu_prog_Click()
{
    showAbout(m_controls.Frame1[1]->isHidden());
}

void Form1::Frame1_Click(int)
{
    showAbout(false);
}

void Form1::Image2_Click()
{
    showAbout(false);
}

void Form1::Text9_Click()
{
    showAbout(false);
}

void Form1::announceReading(const Readout &readout)
{
    const QString reading = readout.reading();
    m_announcer.announce(readout.accessibleName() + QStringLiteral(": ")
                         + (reading.isEmpty() ? QStringLiteral("no reading") : reading));
}

bool Form1::showPortState(bool open)
{
    Shape &indicator = *m_controls.Shape1;
    const QString before = portStateText(indicator.BackColor());
    indicator.setBackColor(open ? form::green : form::red);
    const QString state = portStateText(indicator.BackColor());
    describeBox(*m_controls.Combo1[0], QStringLiteral("port ") + state);
    if (state == before)
        return false;
    QAccessibleTextUpdateEvent event(&indicator, 0, before, state);
    QAccessible::updateAccessibility(&event);
    return true;
}

void Form1::showAbout(bool shown)
{
    QWidget *panel = m_controls.Frame1[1];
    const bool change = panel->isHidden() == shown;
    panel->setVisible(shown);
    // The panel takes no focus: without this a screen reader would not know
    // that it came or went.
    if (change)
        m_announcer.announce(shown ? QStringLiteral("About panel shown")
                                   : QStringLiteral("About panel hidden"));
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing always proceeds: the unload never sets its cancel flag.
    qint16 cancel = 0;
    Form_Unload(cancel);
    event->accept();
}

} // namespace quadrelink
