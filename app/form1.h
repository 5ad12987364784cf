#pragma once

#include "announcer.h"
#include "formbuilder.h"
#include "messagebox.h"
#include "sensor/sensordialogue.h"
#include "serial/settingsreapply.h"
#include "startuptexts.h"
#include "user32.h"

#include <QDate>
#include <QMainWindow>

#include <functional>
#include <memory>

namespace quadrelink {

class FormTimer;
class MSComm;

// What the window takes from its surroundings, injected so that tests can
// fix the date and the locale and record the icon calls.
struct Form1Environment
{
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    RegionalSettings regional = RegionalSettings::from(QLocale::system());
    std::unique_ptr<User32> user32; // the program's own icon layer when empty
    MessageBox messageBox = &showMessageBox;
};

// The program's only window. Its handlers keep the names of the events they
// answer and only forward: the sensor dialogue decides what the polling cycle
// and the operator's command do, the settings reapply what a choice in a
// settings box does; the window reads its controls for them and shows what
// they hand back.
class Form1 final : public QMainWindow
{
    Q_OBJECT

public:
    // The window owns the serial control from here on.
    explicit Form1(std::unique_ptr<MSComm> comm, Form1Environment environment = {},
                   QWidget *parent = nullptr);
    ~Form1() override;

    [[nodiscard]] const FormControls &controls() const { return m_controls; }
    [[nodiscard]] MSComm &MSComm1() const { return *m_MSComm1; }
    // Timer1 to Timer4.
    [[nodiscard]] FormTimer &timer(int number);

    void Form_Unload(qint16 &cancel);

    // Distance polling: "Run", "Stop", the polling tick and the reply delay.
    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();
    void Timer3_Timer();

    // The operator's command: "Out" and its reply delay.
    void Command3_Click();
    void Timer4_Timer();

    // Port settings: a choice in any of the five boxes, and the apply that
    // follows 100 ms later.
    void Combo1_Click(int index);
    void Timer2_Timer();

    // The About panel.
    void mnu_prog_Click();
    void Frame1_Click(int index);
    void Image2_Click();
    void Text9_Click();

    [[nodiscard]] const QString &replyBuffer() const { return m_dialogue.replyBuffer(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void connectHandlers();
    // The texts of the five settings boxes as they are now.
    [[nodiscard]] SettingsTexts settingsTexts() const;
    void showAbout(bool shown);
    void announceReading(const Readout &readout);
    // The indicator's colour, and the port box's description that tells it to a
    // screen reader. Returns whether the state changed.
    bool showPortState(bool open);

    Form1Environment m_environment;
    FormControls m_controls;
    MSComm *m_MSComm1;
    SensorDialogue m_dialogue;
    SettingsReapply m_reapply;
    Announcer m_announcer;
};

} // namespace quadrelink
