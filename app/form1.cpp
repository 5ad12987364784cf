#include "form1.h"

#include "accessibility.h"
#include "eventfilters.h"
#include "formdefinition.h"
#include "module1.h"
#include "resources/resources.h"
#include "sensor/extractreply.h"
#include "serial/commerror.h"
#include "serial/mscomm.h"
#include "serial/settingsapply.h"
#include "shape.h"
#include "startuptexts.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace quadrelink {

namespace {

int intervalOf(std::string_view timer)
{
    const auto it = std::ranges::find(form::timers, timer, &form::TimerDefinition::control);
    Q_ASSERT(it != form::timers.end());
    return it->intervalMs;
}

std::unique_ptr<User32> programIcons()
{
    return std::make_unique<QtUser32>(
        QHash<QString, QString> {{QStringLiteral("ICON1"), QLatin1String(resources::iconPath)}});
}

} // namespace

Form1::Form1(std::unique_ptr<MSComm> comm, Form1Environment environment, QWidget *parent)
    : QMainWindow(parent)
    , m_environment(std::move(environment))
    , m_controls(buildForm(*this))
    , m_MSComm1(comm.release())
    , m_dialogue(*m_MSComm1)
    , Timer1(intervalOf("Timer1"))
    , Timer2(intervalOf("Timer2"))
    , Timer3(intervalOf("Timer3"))
    , Timer4(intervalOf("Timer4"))
{
    m_MSComm1->setParent(this);
    m_MSComm1->setObjectName(QStringLiteral("MSComm1"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer4.setObjectName(QStringLiteral("Timer4"));
    if (!m_environment.user32)
        m_environment.user32 = programIcons();

    connectHandlers();
    Form_Load();
    m_controls.Combo1[0]->setFocus();
}

Form1::~Form1() = default;

FormTimer &Form1::timer(int number)
{
    switch (number) {
    case 1:
        return Timer1;
    case 2:
        return Timer2;
    case 3:
        return Timer3;
    default:
        return Timer4;
    }
}

void Form1::connectHandlers()
{
    connect(m_controls.Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(m_controls.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_controls.Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(&Timer1, &FormTimer::Timer, this, &Form1::Timer1_Timer);
    connect(&Timer3, &FormTimer::Timer, this, &Form1::Timer3_Timer);
    connect(&Timer4, &FormTimer::Timer, this, &Form1::Timer4_Timer);

    for (int i = 0; i < int(m_controls.Combo1.size()); ++i) {
        // activated is a choice from the list, by mouse or arrow keys, also of
        // the entry already shown; typing and editing raise nothing.
        connect(m_controls.Combo1[i], &QComboBox::activated, this, [this, i] { Combo1_Click(i); });
    }
    connect(&Timer2, &FormTimer::Timer, this, &Form1::Timer2_Timer);
    // A device that goes away closes the port under us; the indicator must not
    // go on showing green for a port that is gone.
    connect(m_MSComm1, &MSComm::portLost, this, &Form1::showPortState);

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
    OpenPortAndShowState();
    setWindowTitle(formCaption(m_environment.today(), m_environment.regional));
    m_controls.Text9->setPlainText(makerText());
    m_controls.Text8->setPlainText(termsText());
}

void Form1::OpenPortAndShowState()
{
    runSuppressed([&] { m_MSComm1->setPortOpen(true); });
    showPortState();
}

void Form1::showPortState()
{
    bool open = false;
    runSuppressed([&] { open = m_MSComm1->PortOpen(); });
    m_controls.Shape1->setBackColor(open ? form::green : form::red);
}

void Form1::Form_Unload(qint16 &)
{
    if (m_MSComm1->PortOpen())
        m_MSComm1->setPortOpen(false);
}

void Form1::Command1_Click()
{
    // The first query goes out at the first tick; a second "Run" starts no
    // second cycle.
    Timer1.setEnabled(true);
}

void Form1::Command2_Click()
{
    // A reply delay already running still ends with its read.
    Timer1.setEnabled(false);
}

void Form1::Timer1_Timer()
{
    // Whatever came in after the last answer was read is shown as it arrived
    // until this tick's answer replaces it.
    showReadout(*m_controls.Label2, displayText(m_dialogue.takePending()));
    m_dialogue.send(SensorDialogue::distanceQuery);
    Timer3.setEnabled(true);
}

void Form1::Timer3_Timer()
{
    // The reply delay is shorter than the polling period, so each answer is
    // read before the next query goes out.
    showReadout(*m_controls.Label2, displayText(m_dialogue.readAnswer()));
    Timer3.setEnabled(false);
}

void Form1::Command3_Click()
{
    m_dialogue.send(m_controls.Text1->text() + u'\r');
    Timer4.setEnabled(true);
}

void Form1::Timer4_Timer()
{
    showReadout(*m_controls.Label6, displayText(m_dialogue.readAnswer()));
    Timer4.setEnabled(false);
}

void Form1::Combo1_Click(int)
{
    // Every choice leads to the full apply, also of the entry already shown:
    // nothing compares old and new values.
    if (m_MSComm1->PortOpen())
        m_MSComm1->setPortOpen(false);
    if (m_applying)
        m_choiceWhileApplying = true;
    Timer2.setEnabled(true);
}

void Form1::Timer2_Timer()
{
    // Timer2 stays enabled while the message box is open; its ticks then must
    // not open a second box.
    if (m_applying)
        return;
    m_applying = true;

    SettingsTexts texts;
    std::ranges::transform(m_controls.Combo1, texts.begin(),
                           [](const QComboBox *box) { return box->currentText(); });
    if (applySettingsTexts(*m_MSComm1, texts))
        m_environment.messageBox(this, QStringLiteral("Недопустимо"));
    OpenPortAndShowState();
    Timer2.setEnabled(false);

    m_applying = false;
    // A choice made while the message was open reads the boxes once more.
    if (std::exchange(m_choiceWhileApplying, false))
        Combo1_Click(0);
}

void Form1::mnu_prog_Click()
{
    m_controls.Frame1[1]->setVisible(m_controls.Frame1[1]->isHidden());
}

void Form1::Frame1_Click(int)
{
    m_controls.Frame1[1]->setVisible(false);
}

void Form1::Image2_Click()
{
    m_controls.Frame1[1]->setVisible(false);
}

void Form1::Text9_Click()
{
    m_controls.Frame1[1]->setVisible(false);
}

void Form1::closeEvent(QCloseEvent *event)
{
    qint16 cancel = 0;
    Form_Unload(cancel);
    if (cancel)
        event->ignore();
    else
        event->accept();
}

} // namespace quadrelink
