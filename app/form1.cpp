#include "form1.h"

#include "formdefinition.h"
#include "module1.h"
#include "resources/resources.h"
#include "sensor/extractreply.h"
#include "serial/commerror.h"
#include "serial/mscomm.h"
#include "shape.h"
#include "startuptexts.h"

#include <QCloseEvent>
#include <QComboBox>
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
    m_controls.Label2->setText(displayText(m_dialogue.takePending()));
    m_dialogue.send(SensorDialogue::distanceQuery);
    Timer3.setEnabled(true);
}

void Form1::Timer3_Timer()
{
    // The reply delay is shorter than the polling period, so each answer is
    // read before the next query goes out.
    m_controls.Label2->setText(displayText(m_dialogue.readAnswer()));
    Timer3.setEnabled(false);
}

void Form1::Command3_Click()
{
    m_dialogue.send(m_controls.Text1->text() + u'\r');
    Timer4.setEnabled(true);
}

void Form1::Timer4_Timer()
{
    m_controls.Label6->setText(displayText(m_dialogue.readAnswer()));
    Timer4.setEnabled(false);
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
