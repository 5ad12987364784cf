#include "form1.h"

#include "formdefinition.h"
#include "module1.h"
#include "resources/resources.h"
#include "serial/commerror.h"
#include "serial/mscomm.h"
#include "shape.h"
#include "startuptexts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QPlainTextEdit>

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
