#pragma once

#include "formbuilder.h"
#include "formtimer.h"
#include "startuptexts.h"
#include "user32.h"

#include <QDate>
#include <QMainWindow>

#include <functional>
#include <memory>

namespace quadrelink {

class MSComm;

// What the window takes from its surroundings, injected so that tests can
// fix the date and the locale and record the icon calls.
struct Form1Environment
{
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    RegionalSettings regional = RegionalSettings::from(QLocale::system());
    std::unique_ptr<User32> user32; // the program's own icon layer when empty
};

// The program's only window. Its handlers keep the names of the events they
// answer and stay thin: they read the controls, ask the serial control or the
// sensor dialogue, and write the results back.
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
    [[nodiscard]] FormTimer &timer(int number);

    // Opens the port with the control's current settings and shows in Shape1
    // whether it is open.
    void OpenPortAndShowState();

    void Form_Unload(qint16 &cancel);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();

    Form1Environment m_environment;
    FormControls m_controls;
    MSComm *m_MSComm1;
    FormTimer Timer1;
    FormTimer Timer2;
    FormTimer Timer3;
    FormTimer Timer4;
};

} // namespace quadrelink
