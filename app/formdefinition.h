#pragma once

// The window Form1 as data: one row per control with its kind, container,
// place and size in twips, texts, fonts, colours, accessible name and list;
// the stacking order; and the menu. The builder (formbuilder.h) turns the
// table into widgets, and nothing else decides how the window looks.

#include "serial/commdefaults.h"
#include "serial/settingsapply.h"

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
    Readout = 1u << 6, // a label showing readings, which a screen reader is told
};

// The settings boxes' lists, shown in this order, never sorted.
inline constexpr auto portNumbers = std::to_array<std::string_view>(
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"});
inline constexpr auto baudRates
    = std::to_array<std::string_view>({"110", "300", "600", "1200", "2400", "4800", "9600", "14400",
                                       "19200", "28800", "38400", "57600", "115200"});
inline constexpr auto parityLetters = std::to_array<std::string_view>({"n", "e", "o", "s", "m"});
inline constexpr auto dataBits = std::to_array<std::string_view>({"5", "6", "7", "8"});
inline constexpr auto stopBits = std::to_array<std::string_view>({"1", "2"});

// One control of the window: where it sits, in twips from the top-left corner
// of its container's client area; how it looks; and what a screen reader calls
// it. An accessible name holds the text seen on or beside its control ("Run",
// "COM", "odd/even"), so that what is seen can be said; the readouts' and the
// indicator's text is what they show: the reading, or whether the port is open.
struct Control
{
    std::string_view name;
    Kind kind;
    std::string_view container;
    int left, top, width, height;
    int tabIndex;
    std::string_view text; // caption, text or frame title at creation
    Font font;
    Colour backColour;
    Colour foreColour;
    Align align = Align::Left;
    unsigned further = Ordinary;
    std::string_view accessibleName = {};
    std::span<const std::string_view> items = {}; // a settings box's list
};

// The settings frame's labels all look alike, and so do its boxes.
[[nodiscard]] constexpr Control settingsLabel(std::string_view name, int left, int top, int width,
                                              int height, int tabIndex, std::string_view text,
                                              Align align = Align::Left)
{
    return {name,     Kind::Label, "Frame1(0)", left,       top,        width, height,
            tabIndex, text,        smallFont,   buttonFace, buttonText, align};
}
[[nodiscard]] constexpr Control settingsBox(std::string_view name, int left, int top, int width,
                                            int height, int tabIndex, std::string_view text,
                                            std::string_view accessibleName,
                                            std::span<const std::string_view> items)
{
    Control box {name, Kind::ComboBox, "Frame1(0)",      left,      top, width, height, tabIndex,
                 text, smallFont,      windowBackground, windowText};
    box.accessibleName = accessibleName;
    box.items = items;
    return box;
}

// Listed by container, in reading order: placement on the first line of a row,
// appearance, accessible name and list on the second; a settings label or box
// takes one line, its appearance being the frame's.
// clang-format off
inline constexpr std::array controls {
    Control {"Label3", Kind::Label, "Form1", 360, 585, 2880, 390, 12,
             "Absolute distance:", windowFont, buttonFace, buttonText, Align::Right},
    Control {"Label2", Kind::Label, "Form1", 3360, 480, 2505, 585, 11,
             "", readoutFont, lightYellow, buttonText, Align::Centre, Readout, "Absolute distance"},
    Control {"Command1", Kind::Button, "Form1", 5910, 450, 525, 315, 13,
             "Run", smallFont, buttonFace, buttonText, Align::Left, Ordinary, "Run polling"},
    Control {"Command2", Kind::Button, "Form1", 5925, 795, 525, 315, 14,
             "Stop", smallFont, buttonFace, buttonText, Align::Left, Ordinary, "Stop polling"},
    Control {"Label4", Kind::Label, "Form1", 240, 2145, 1230, 270, 16,
             "Command:", windowFont, buttonFace, buttonText, Align::Right},
    Control {"Text1", Kind::TextBox, "Form1", 1710, 2055, 1635, 465, 15,
             "ID", windowFont, windowBackground, windowText, Align::Left, Ordinary, "Command"},
    Control {"Command3", Kind::Button, "Form1", 3480, 2040, 1275, 480, 17,
             "Out", smallFont, buttonFace, buttonText, Align::Left, Ordinary,
             "Out (send command)"},
    Control {"Label5", Kind::Label, "Form1", 255, 2745, 1230, 435, 18,
             "Response:", windowFont, buttonFace, buttonText, Align::Right},
    Control {"Label6", Kind::Label, "Form1", 1680, 2745, 9195, 360, 19,
             "UC1000-30GM-IUR2-K-V15", windowFont, lightYellow, buttonText, Align::Left, Readout,
             "Response"},
    Control {"Frame1(0)", Kind::Frame, "Form1", 7680, 120, 2775, 2475, 0,
             "Port Configuration", smallFont, buttonFace, buttonText},
    settingsLabel("Label1(0)", 1140, 480, 435, 255, 6, "COM", Align::Right),
    settingsBox("Combo1(0)", 1620, 420, 735, 315, 1, "1", "COM port number", portNumbers),
    Control {"Shape1", Kind::Shape, "Frame1(0)", 2400, 480, 195, 195, noTabIndex,
             "", windowFont, red, windowFrame, Align::Left, Ordinary, "Port state"},
    settingsLabel("Label1(1)", 360, 780, 735, 315, 7, "rate", Align::Right),
    settingsBox("Combo1(1)", 1140, 780, 1215, 315, 2, "1200", "Baud rate", baudRates),
    settingsLabel("Label1(2)", 780, 1215, 735, 225, 8, "odd/even"),
    settingsBox("Combo1(2)", 1560, 1140, 795, 315, 3, "n", "Parity (odd/even)", parityLetters),
    settingsLabel("Label1(3)", 1080, 1530, 375, 225, 9, "Bit"),
    settingsBox("Combo1(3)", 1560, 1500, 795, 315, 4, "8", "Data bits", dataBits),
    settingsLabel("Label1(4)", 780, 1860, 735, 315, 10, "stop bit"),
    settingsBox("Combo1(4)", 1560, 1860, 795, 315, 5, "1", "Stop bits", stopBits),
    Control {"Frame1(1)", Kind::Frame, "Form1", 0, -45, 6735, 3975, 20,
             "", windowFont, activeBorder, buttonText, Align::Left, Hidden, "About"},
    Control {"Text9", Kind::TextBox, "Frame1(1)", 360, 270, 3975, 1695, 21,
             "", aboutFont, activeBorder, windowText, Align::Left,
             MultiLine | ReadOnly | NotInTabSequence, "Product and maker"},
    Control {"Image2", Kind::Image, "Frame1(1)", 4545, 405, 1680, 1200, noTabIndex,
             "", windowFont, buttonFace, buttonText, Align::Left, Stretched, "Maker's logo"},
    Control {"Text8", Kind::TextBox, "Frame1(1)", 360, 2040, 6135, 1695, 22,
             "", aboutFont, lightYellow, windowText, Align::Left,
             MultiLine | ReadOnly | VerticalScrollBar, "Terms of use"},
};
// clang-format on

// Stacking order of the window's children and of each frame's, top first.
inline constexpr auto formStacking = std::to_array<std::string_view>({
    "Frame1(1)",
    "Command3",
    "Text1",
    "Command2",
    "Command1",
    "Frame1(0)",
    "Label6",
    "Label5",
    "Label4",
    "Label3",
    "Label2",
});
inline constexpr std::array aboutStacking
    = std::to_array<std::string_view>({"Text8", "Text9", "Image2"});
inline constexpr auto portFrameStacking = std::to_array<std::string_view>({
    "Combo1(4)",
    "Combo1(3)",
    "Combo1(2)",
    "Combo1(1)",
    "Combo1(0)",
    "Shape1",
    "Label1(4)",
    "Label1(3)",
    "Label1(2)",
    "Label1(1)",
    "Label1(0)",
});

// The menu bar holds one item that fires at once: no drop-down, no shortcut.
struct MenuItem
{
    std::string_view control;
    std::string_view caption;
};
inline constexpr MenuItem aboutMenu {"mnu_prog", "About"};

// Cheap invariants of the table.
consteval bool allInWholePixels()
{
    for (const auto &c : controls)
        if (c.left % twipsPerPixel || c.top % twipsPerPixel || c.width % twipsPerPixel
            || c.height % twipsPerPixel)
            return false;
    return clientWidth % twipsPerPixel == 0 && clientHeight % twipsPerPixel == 0;
}
static_assert(allInWholePixels(), "every control lands on whole pixels at 96 dpi");

consteval int tabStops()
{
    int count = 0;
    for (const auto &c : controls)
        count += c.tabIndex != noTabIndex;
    return count;
}

consteval bool tabIndexesWithoutGaps()
{
    std::array<int, tabStops()> seen {};
    for (const auto &c : controls) {
        if (c.tabIndex == noTabIndex)
            continue;
        if (c.tabIndex < 0 || c.tabIndex >= tabStops() || seen[std::size_t(c.tabIndex)]++)
            return false;
    }
    return true;
}
static_assert(tabIndexesWithoutGaps(), "tab indexes run from 0 without gaps");

// Each container's stacking list names each of its controls exactly once.
consteval bool stacksEveryControlOnce(std::string_view container,
                                      std::span<const std::string_view> topFirst)
{
    std::size_t children = 0;
    for (const auto &c : controls) {
        if (c.container != container)
            continue;
        ++children;
        std::size_t seen = 0;
        for (std::string_view name : topFirst)
            seen += name == c.name;
        if (seen != 1)
            return false;
    }
    return children == topFirst.size();
}
static_assert(stacksEveryControlOnce(formName, formStacking));
static_assert(stacksEveryControlOnce("Frame1(1)", aboutStacking));
static_assert(stacksEveryControlOnce("Frame1(0)", portFrameStacking));

// "Combo1(3)" is element 3 of the control array "Combo1"; any other name
// gives -1.
consteval int elementIndex(std::string_view name, std::string_view array)
{
    if (!name.starts_with(array) || name.size() < array.size() + 3 || name[array.size()] != '('
        || !name.ends_with(')'))
        return -1;
    int index = 0;
    for (char digit : name.substr(array.size() + 1, name.size() - array.size() - 2)) {
        if (digit < '0' || digit > '9')
            return -1;
        index = index * 10 + (digit - '0');
    }
    return index;
}

// The number of a control array's elements, or 0 unless they are numbered
// from 0 without gaps.
consteval std::size_t elementsOf(std::string_view array)
{
    std::array<int, controls.size()> seen {};
    std::size_t count = 0;
    for (const auto &c : controls) {
        const int index = elementIndex(c.name, array);
        if (index >= 0 && (std::size_t(index) >= controls.size() || seen[std::size_t(index)]++))
            return 0;
        count += index >= 0;
    }
    for (std::size_t i = 0; i < count; ++i)
        if (!seen[i])
            return 0;
    return count;
}

// The serial link reads one text per setting from the boxes, and the window
// gives each box its caption: the table must hold exactly that many of each.
static_assert(elementsOf("Combo1") == settingsBoxCount, "one settings box per setting");
static_assert(elementsOf("Label1") == settingsBoxCount, "one caption per settings box");

// The settings boxes start with the serial control's own settings, so applying
// them unchanged changes nothing.
consteval std::string_view settingsBoxText(std::size_t box)
{
    for (const auto &c : controls)
        if (elementIndex(c.name, "Combo1") == int(box))
            return c.text;
    return {};
}
consteval bool boxesStartWithTheControlSettings()
{
    int number = 0;
    for (char digit : settingsBoxText(0))
        number = number * 10 + (digit - '0');
    std::string_view rest = commDefaults.settings;
    for (std::size_t box = 1; box < settingsBoxCount; ++box) {
        const std::size_t comma = rest.find(',');
        if (rest.substr(0, comma) != settingsBoxText(box))
            return false;
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return number == commDefaults.commPort && rest.empty();
}
static_assert(boxesStartWithTheControlSettings());

} // namespace quadrelink::form
