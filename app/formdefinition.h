#pragma once

// The window Form1 as data: every control with its kind, container, place and
// size in twips, texts, fonts and colours; the settings boxes' lists; the
// timers; the menu; and the serial control's initial settings. The builder
// (formbuilder.h) turns these tables into widgets and nothing else decides how
// the window looks.

#include <QtGlobal>

#include <array>
#include <span>
#include <string_view>

namespace quadrelink::form {

// 1440 twips to the inch: 15 twips to a device-independent pixel at 96 dpi.
inline constexpr int twipsPerPixel = 15;
[[nodiscard]] constexpr int pixels(int twips)
{
    return twips / twipsPerPixel;
}

enum class Kind { Label, Button, TextBox, ComboBox, Frame, Shape, Image };
enum class Align { Left, Right, Centre };

struct Font
{
    std::string_view family;
    double points;
    int weight = 400;
    int charset = 204; // Cyrillic, for the one Russian message the window shows
};

inline constexpr Font windowFont {"MS Sans Serif", 12};
inline constexpr Font smallFont {"MS Sans Serif", 8.25};
inline constexpr Font readoutFont {"MS Sans Serif", 24};
inline constexpr Font aboutFont {"Times New Roman", 9.75};

// Colours are 0x00BBGGRR; 0x800000nn stands for the platform's system colour nn,
// looked up when the control is drawn (systemcolours.h).
using Colour = quint32;
[[nodiscard]] constexpr Colour systemColour(int number)
{
    return 0x80000000u | quint32(number);
}
[[nodiscard]] constexpr bool isSystemColour(Colour colour)
{
    return colour & 0x80000000u;
}

inline constexpr Colour scrollBar = systemColour(0);
inline constexpr Colour windowBackground = systemColour(5);
inline constexpr Colour windowFrame = systemColour(6);
inline constexpr Colour windowText = systemColour(8);
inline constexpr Colour activeBorder = systemColour(10);
inline constexpr Colour buttonFace = systemColour(15);
inline constexpr Colour buttonText = systemColour(18);
inline constexpr Colour lightYellow = 0x00C0FFFF;
inline constexpr Colour red = 0x000000FF;
inline constexpr Colour green = 0x0000C000;

// The window itself.
inline constexpr std::string_view formName = "Form1";
inline constexpr std::string_view initialCaption = "Quadrelink v.1.0.0";
inline constexpr int clientWidth = 11115;
inline constexpr int clientHeight = 4260;
inline constexpr Colour formBackColour = buttonFace;

inline constexpr int noTabIndex = -1;

struct Placement
{
    std::string_view control;
    Kind kind;
    std::string_view container;
    int left, top, width, height;
    int tabIndex;
};

// Listed by container, in reading order.
inline constexpr std::array placements {
    Placement {"Label3", Kind::Label, "Form1", 360, 585, 2880, 390, 12},
    Placement {"Label2", Kind::Label, "Form1", 3360, 480, 2505, 585, 11},
    Placement {"Command1", Kind::Button, "Form1", 5910, 450, 525, 315, 13},
    Placement {"Command2", Kind::Button, "Form1", 5925, 795, 525, 315, 14},
    Placement {"Label4", Kind::Label, "Form1", 240, 2145, 1230, 270, 16},
    Placement {"Text1", Kind::TextBox, "Form1", 1710, 2055, 1635, 465, 15},
    Placement {"Command3", Kind::Button, "Form1", 3480, 2040, 1275, 480, 17},
    Placement {"Label5", Kind::Label, "Form1", 255, 2745, 1230, 435, 18},
    Placement {"Label6", Kind::Label, "Form1", 1680, 2745, 9195, 360, 19},
    Placement {"Frame1(0)", Kind::Frame, "Form1", 7680, 120, 2775, 2475, 0},
    Placement {"Label1(0)", Kind::Label, "Frame1(0)", 1140, 480, 435, 255, 6},
    Placement {"Combo1(0)", Kind::ComboBox, "Frame1(0)", 1620, 420, 735, 315, 1},
    Placement {"Shape1", Kind::Shape, "Frame1(0)", 2400, 480, 195, 195, noTabIndex},
    Placement {"Label1(1)", Kind::Label, "Frame1(0)", 360, 780, 735, 315, 7},
    Placement {"Combo1(1)", Kind::ComboBox, "Frame1(0)", 1140, 780, 1215, 315, 2},
    Placement {"Label1(2)", Kind::Label, "Frame1(0)", 780, 1215, 735, 225, 8},
    Placement {"Combo1(2)", Kind::ComboBox, "Frame1(0)", 1560, 1140, 795, 315, 3},
    Placement {"Label1(3)", Kind::Label, "Frame1(0)", 1080, 1530, 375, 225, 9},
    Placement {"Combo1(3)", Kind::ComboBox, "Frame1(0)", 1560, 1500, 795, 315, 4},
    Placement {"Label1(4)", Kind::Label, "Frame1(0)", 780, 1860, 735, 315, 10},
    Placement {"Combo1(4)", Kind::ComboBox, "Frame1(0)", 1560, 1860, 795, 315, 5},
    Placement {"Frame1(1)", Kind::Frame, "Form1", 0, -45, 6735, 3975, 20},
    Placement {"Text9", Kind::TextBox, "Frame1(1)", 360, 270, 3975, 1695, 21},
    Placement {"Image2", Kind::Image, "Frame1(1)", 4545, 405, 1680, 1200, noTabIndex},
    Placement {"Text8", Kind::TextBox, "Frame1(1)", 360, 2040, 6135, 1695, 22},
};

// Properties beyond text, font and colours; a control without one has the
// ordinary value (visible, single-line, editable, in the tab sequence).
enum Further : unsigned {
    Ordinary = 0,
    Hidden = 1u << 0,
    MultiLine = 1u << 1,
    ReadOnly = 1u << 2,
    NotInTabSequence = 1u << 3,
    VerticalScrollBar = 1u << 4,
    Stretched = 1u << 5,
};

struct Appearance
{
    std::string_view control;
    std::string_view text; // caption, text or frame title at creation
    Font font;
    Colour backColour;
    Colour foreColour;
    Align align = Align::Left;
    unsigned further = Ordinary;
};

inline constexpr std::array appearances {
    Appearance {"Label3", "Absolute distance:", windowFont, buttonFace, buttonText, Align::Right},
    Appearance {"Label2", "", readoutFont, lightYellow, buttonText, Align::Centre},
    Appearance {"Command1", "Run", smallFont, buttonFace, buttonText},
    Appearance {"Command2", "Stop", smallFont, buttonFace, buttonText},
    Appearance {"Label4", "Command:", windowFont, buttonFace, buttonText, Align::Right},
    Appearance {"Text1", "ID", windowFont, windowBackground, windowText},
    Appearance {"Command3", "Out", smallFont, buttonFace, buttonText},
    Appearance {"Label5", "Response:", windowFont, buttonFace, buttonText, Align::Right},
    Appearance {"Label6", "UC1000-30GM-IUR2-K-V15", windowFont, lightYellow, buttonText},
    Appearance {"Frame1(0)", "Port Configuration", smallFont, buttonFace, buttonText},
    Appearance {"Label1(0)", "COM", smallFont, buttonFace, buttonText, Align::Right},
    Appearance {"Combo1(0)", "1", smallFont, windowBackground, windowText},
    Appearance {"Shape1", "", windowFont, red, windowFrame},
    Appearance {"Label1(1)", "rate", smallFont, buttonFace, buttonText, Align::Right},
    Appearance {"Combo1(1)", "1200", smallFont, windowBackground, windowText},
    Appearance {"Label1(2)", "odd/even", smallFont, buttonFace, buttonText},
    Appearance {"Combo1(2)", "n", smallFont, windowBackground, windowText},
    Appearance {"Label1(3)", "Bit", smallFont, buttonFace, buttonText},
    Appearance {"Combo1(3)", "8", smallFont, windowBackground, windowText},
    Appearance {"Label1(4)", "stop bit", smallFont, buttonFace, buttonText},
    Appearance {"Combo1(4)", "1", smallFont, windowBackground, windowText},
    Appearance {"Frame1(1)", "", windowFont, activeBorder, buttonText, Align::Left, Hidden},
    Appearance {"Text9", "", aboutFont, activeBorder, windowText, Align::Left,
                MultiLine | ReadOnly | NotInTabSequence},
    Appearance {"Image2", "", windowFont, buttonFace, buttonText, Align::Left, Stretched},
    Appearance {"Text8", "", aboutFont, lightYellow, windowText, Align::Left,
                MultiLine | ReadOnly | VerticalScrollBar},
};

// What a screen reader calls the controls that take the focus, those the
// operator reads and the About panel with its picture. A name holds the text
// seen on or beside its control ("Run", "COM", "odd/even"), so that what is
// seen can be said. The readouts' and the indicator's text is what they show:
// the reading, or whether the port is open.
struct AccessibleName
{
    std::string_view control;
    std::string_view name;
};

inline constexpr std::array accessibleNames {
    AccessibleName {"Combo1(0)", "COM port number"},
    AccessibleName {"Combo1(1)", "Baud rate"},
    AccessibleName {"Combo1(2)", "Parity (odd/even)"},
    AccessibleName {"Combo1(3)", "Data bits"},
    AccessibleName {"Combo1(4)", "Stop bits"},
    AccessibleName {"Command1", "Run polling"},
    AccessibleName {"Command2", "Stop polling"},
    AccessibleName {"Text1", "Command"},
    AccessibleName {"Command3", "Out (send command)"},
    AccessibleName {"Label2", "Absolute distance"},
    AccessibleName {"Label6", "Response"},
    AccessibleName {"Shape1", "Port state"},
    AccessibleName {"Frame1(1)", "About"},
    AccessibleName {"Text9", "Product and maker"},
    AccessibleName {"Image2", "Maker's logo"},
    AccessibleName {"Text8", "Terms of use"},
};

consteval bool accessibleNamesForPlacedControls()
{
    for (const auto &entry : accessibleNames) {
        bool placed = false;
        for (const auto &p : placements)
            placed = placed || p.control == entry.control;
        if (!placed || entry.name.empty())
            return false;
    }
    return true;
}
static_assert(accessibleNamesForPlacedControls(), "every accessible name belongs to a control");

// The settings boxes' lists, shown in this order, never sorted.
inline constexpr std::array<std::string_view, 12> portNumbers {"1", "2", "3", "4",  "5",  "6",
                                                               "7", "8", "9", "10", "11", "12"};
inline constexpr std::array<std::string_view, 13> baudRates {
    "110",   "300",   "600",   "1200",  "2400",  "4800",  "9600",
    "14400", "19200", "28800", "38400", "57600", "115200"};
inline constexpr std::array<std::string_view, 5> parityLetters {"n", "e", "o", "s", "m"};
inline constexpr std::array<std::string_view, 4> dataBits {"5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 2> stopBits {"1", "2"};

struct ComboList
{
    std::string_view control;
    std::span<const std::string_view> items;
};

inline constexpr std::array<ComboList, 5> comboLists {{
    {"Combo1(0)", portNumbers},
    {"Combo1(1)", baudRates},
    {"Combo1(2)", parityLetters},
    {"Combo1(3)", dataBits},
    {"Combo1(4)", stopBits},
}};

// Stacking order of the window's children and of each frame's, top first.
inline constexpr std::array<std::string_view, 11> formStacking {
    "Frame1(1)", "Command3", "Text1",  "Command2", "Command1", "Frame1(0)",
    "Label6",    "Label5",   "Label4", "Label3",   "Label2",
};
inline constexpr std::array<std::string_view, 3> aboutStacking {"Text8", "Text9", "Image2"};
inline constexpr std::array<std::string_view, 11> portFrameStacking {
    "Combo1(4)", "Combo1(3)", "Combo1(2)", "Combo1(1)", "Combo1(0)", "Shape1",
    "Label1(4)", "Label1(3)", "Label1(2)", "Label1(1)", "Label1(0)",
};

// All four timers are stopped at creation.
struct TimerDefinition
{
    std::string_view control;
    int intervalMs;
};

inline constexpr std::array timers {
    TimerDefinition {"Timer1", 200}, // polling clock
    TimerDefinition {"Timer2", 100}, // settings apply delay
    TimerDefinition {"Timer3", 50}, // distance reply delay
    TimerDefinition {"Timer4", 150}, // command reply delay
};

// The menu bar holds one item that fires at once: no drop-down, no shortcut.
struct MenuItem
{
    std::string_view control;
    std::string_view caption;
};
inline constexpr MenuItem aboutMenu {"mnu_prog", "About"};

// The serial control's settings at creation; they equal the settings boxes'
// initial texts and stay in force until the first apply.
struct CommDefaults
{
    qint16 commPort = 1;
    std::string_view settings = "1200,n,8,1";
    bool handshaking = false;
    bool dtrEnable = false;
    bool rtsEnable = false;
    int inBufferSize = 1024;
    int outBufferSize = 512;
    int inputLen = 0; // a read returns all that is waiting
    bool discardNull = false;
    std::string_view parityReplace = "?";
};
inline constexpr CommDefaults commDefaults {};

// Cheap invariants of the tables.
consteval bool allInWholePixels()
{
    for (const auto &p : placements)
        if (p.left % twipsPerPixel || p.top % twipsPerPixel || p.width % twipsPerPixel
            || p.height % twipsPerPixel)
            return false;
    return clientWidth % twipsPerPixel == 0 && clientHeight % twipsPerPixel == 0;
}
static_assert(allInWholePixels(), "every control lands on whole pixels at 96 dpi");

consteval bool tabIndexesWithoutGaps()
{
    std::array<int, placements.size()> seen {};
    int count = 0;
    for (const auto &p : placements) {
        if (p.tabIndex == noTabIndex)
            continue;
        if (p.tabIndex < 0 || p.tabIndex >= int(seen.size()) || seen[p.tabIndex]++)
            return false;
        ++count;
    }
    return count == 23;
}
static_assert(tabIndexesWithoutGaps(), "tab indexes run from 0 to 22 without gaps");

consteval bool appearanceForEveryPlacement()
{
    if (appearances.size() != placements.size())
        return false;
    for (std::size_t i = 0; i < placements.size(); ++i)
        if (appearances[i].control != placements[i].control)
            return false;
    return true;
}
static_assert(appearanceForEveryPlacement(), "both tables list the same controls in one order");

} // namespace quadrelink::form
