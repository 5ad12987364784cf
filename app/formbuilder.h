#pragma once

#include "readout.h"

#include "serial/settingsapply.h"

#include <QString>

#include <array>
#include <string_view>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace quadrelink {

class Shape;

// The controls of Form1 that the handlers use, typed. The widgets belong to the
// window; these are plain pointers into it. The table cannot hand these out
// itself: its rows are constant data whose kind is a value and whose name is a
// string, and C++ cannot make a named member of a widget type from either
// without a macro. So the controls the handlers touch are named once more
// here, and only those; the builder finds each by its row's name, and a test
// walks the whole table against the built widgets.
struct FormControls
{
    QWidget *client = nullptr; // the client area below the menu bar
    Readout *Label2 = nullptr;
    Readout *Label6 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QLineEdit *Text1 = nullptr;
    std::array<QComboBox *, settingsBoxCount> Combo1 {};
    std::array<QGroupBox *, 2> Frame1 {};
    Shape *Shape1 = nullptr;
    QPlainTextEdit *Text8 = nullptr;
    QPlainTextEdit *Text9 = nullptr;
    QLabel *Image2 = nullptr;
    QAction *mnu_prog = nullptr;
};

// "Combo1(0)" → "Combo1_0": the object name of a control, array elements
// included.
[[nodiscard]] QString objectNameOf(std::string_view control);

// Maps the design's font families to faces installed here, keeping point size
// and weight: "MS Sans Serif" and "Times New Roman" are rarely installed
// outside Windows.
void installFontSubstitutions();

// Builds every control of the window's tables into the window: geometry,
// texts, fonts, colours, lists, stacking, tab order and the menu. Nothing is
// laid out: the controls keep their places whatever size the window takes.
[[nodiscard]] FormControls buildForm(QMainWindow &window);

} // namespace quadrelink
