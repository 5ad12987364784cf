#include "formbuilder.h"

#include "accessibility.h"
#include "eventfilters.h"
#include "formdefinition.h"
#include "framebox.h"
#include "resources/resources.h"
#include "shape.h"
#include "systemcolours.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

namespace quadrelink {

namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QRect pixelRect(const form::Control &p)
{
    return {form::pixels(p.left), form::pixels(p.top), form::pixels(p.width),
            form::pixels(p.height)};
}

QFont toQFont(const form::Font &font)
{
    QFont qfont(toQString(font.family));
    qfont.setPointSizeF(font.points);
    qfont.setWeight(QFont::Weight(font.weight));
    return qfont;
}

Qt::Alignment toQt(form::Align align)
{
    switch (align) {
    case form::Align::Left:
        break;
    case form::Align::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case form::Align::Centre:
        return Qt::AlignHCenter | Qt::AlignTop;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

// Back and fore colours go to the palette roles that the widget of each kind
// paints its surface and its text with.
void applyColours(QWidget &widget, const form::Control &look)
{
    QPalette palette = widget.palette();
    const QColor back = toQColor(look.backColour, palette);
    const QColor fore = readableOn(back, toQColor(look.foreColour, palette),
                                   form::isSystemColour(look.backColour));
    switch (look.kind) {
    case form::Kind::TextBox:
    case form::Kind::ComboBox:
        palette.setColor(QPalette::Base, back);
        palette.setColor(QPalette::Text, fore);
        break;
    case form::Kind::Button:
        palette.setColor(QPalette::Button, back);
        palette.setColor(QPalette::ButtonText, fore);
        break;
    case form::Kind::Label:
    case form::Kind::Frame:
    case form::Kind::Image:
    case form::Kind::Shape:
        palette.setColor(QPalette::Window, back);
        palette.setColor(QPalette::WindowText, fore);
        widget.setAutoFillBackground(look.kind != form::Kind::Shape);
        break;
    }
    widget.setPalette(palette);
}

QWidget *createControl(const form::Control &look, QWidget *parent)
{
    const QString text = toQString(look.text);
    // Labels and boxes are named before their first text: see
    // installAccessibleInterfaces.
    const QString accessibleName = toQString(look.accessibleName);
    switch (look.kind) {
    case form::Kind::Label: {
        auto *label = (look.further & form::Readout) ? new Readout(parent) : new QLabel(parent);
        label->setAccessibleName(accessibleName);
        // Device text is shown as it came, never interpreted as markup.
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setAlignment(toQt(look.align));
        return label;
    }
    case form::Kind::Button:
        return new QPushButton(text, parent);
    case form::Kind::TextBox: {
        if (!(look.further & form::MultiLine)) {
            auto *edit = new QLineEdit(text, parent);
            edit->setMaxLength(std::numeric_limits<int>::max());
            return edit;
        }
        auto *edit = new QPlainTextEdit(text, parent);
        edit->setReadOnly(look.further & form::ReadOnly);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setVerticalScrollBarPolicy((look.further & form::VerticalScrollBar)
                                             ? Qt::ScrollBarAlwaysOn
                                             : Qt::ScrollBarAlwaysOff);
        edit->setTabChangesFocus(true);
        if (look.further & form::NotInTabSequence)
            edit->setFocusPolicy(Qt::ClickFocus);
        return edit;
    }
    case form::Kind::ComboBox: {
        auto *combo = new QComboBox(parent);
        combo->setAccessibleName(accessibleName);
        combo->setEditable(true);
        // The focus sits in the box's text field: named too, it keeps the
        // box's name when a screen reader is asked where the focus is.
        combo->lineEdit()->setAccessibleName(accessibleName);
        combo->setInsertPolicy(QComboBox::NoInsert);
        // The box keeps what the operator types exactly as typed.
        combo->setCompleter(nullptr);
        // The wheel acts on the box with the keyboard focus only, and does not
        // give the focus: scrolling past the frame changes no line setting.
        combo->setFocusPolicy(Qt::StrongFocus);
        letWheelActOnlyWithFocus(combo);
        for (std::string_view item : look.items)
            combo->addItem(toQString(item), 0);
        const int index = combo->findText(text, Qt::MatchExactly);
        combo->setCurrentIndex(index);
        combo->setEditText(text);
        // Only a choice from the list applies settings. An editable box would
        // otherwise treat Enter, or leaving its text field, with a text equal
        // to a list item as such a choice.
        QObject::disconnect(combo->lineEdit(), &QLineEdit::returnPressed, combo, nullptr);
        QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
        return combo;
    }
    case form::Kind::Frame: {
        return new FrameBox(text, parent);
    }
    case form::Kind::Shape: {
        auto *shape = new Shape(parent);
        shape->setBackColor(look.backColour);
        shape->setBorderColor(look.foreColour);
        return shape;
    }
    case form::Kind::Image: {
        auto *image = new QLabel(parent);
        image->setPixmap(QPixmap::fromImage(resources::logo()));
        image->setScaledContents(look.further & form::Stretched);
        return image;
    }
    }
    return nullptr;
}

template<typename Widget> Widget *find(QWidget *client, std::string_view control)
{
    auto *widget = client->findChild<Widget *>(objectNameOf(control));
    Q_ASSERT_X(widget, "buildForm", "every control of the tables is built");
    return widget;
}

// The colours of the window and of every control, looked up in the palettes
// they inherit: the system colours of the tables become the desktop's.
void applyFormColours(QWidget &client)
{
    client.setPalette(QPalette());
    QPalette palette = client.palette();
    palette.setColor(QPalette::Window, toQColor(form::formBackColour, palette));
    client.setPalette(palette);
    // Containers come before what they hold, so each control inherits its
    // container's colours as they are now.
    for (const form::Control &row : form::controls) {
        QWidget *control = find<QWidget>(&client, row.name);
        control->setPalette(QPalette());
        applyColours(*control, row);
    }
}

// Calls back when the desktop's colours change while the program runs (a
// switch between a light and a dark scheme): every Qt version delivers that
// as a change of the application's palette to each window, which then hands
// its new palette down. The call comes after that, so that what the controls
// inherit is already the new scheme's.
class PaletteChangeWatch final : public QObject
{
public:
    PaletteChangeWatch(QWidget &watched, std::function<void()> onChange)
        : QObject(&watched)
        , m_onChange(std::move(onChange))
    {
        watched.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange)
            QMetaObject::invokeMethod(this, m_onChange, Qt::QueuedConnection);
        return false;
    }

private:
    std::function<void()> m_onChange;
};

} // namespace

QString objectNameOf(std::string_view control)
{
    QString name = toQString(control);
    name.replace(u'(', u'_');
    name.remove(u')');
    return name;
}

void installFontSubstitutions()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                                QStringLiteral("DejaVu Serif")});
}

FormControls buildForm(QMainWindow &window)
{
    installFontSubstitutions();
    installAccessibleInterfaces();

    window.setObjectName(toQString(form::formName));
    window.setWindowTitle(toQString(form::initialCaption));
    window.setFont(toQFont(form::windowFont));

    auto *client = new QWidget(&window);
    client->setObjectName(QStringLiteral("client"));
    client->setAutoFillBackground(true);
    window.setCentralWidget(client);

    std::map<std::string_view, QWidget *> containers {{form::formName, client}};
    for (const form::Control &row : form::controls) {
        QWidget *control = createControl(row, containers.at(row.container));
        control->setObjectName(objectNameOf(row.name));
        control->setAccessibleName(toQString(row.accessibleName));
        control->setGeometry(pixelRect(row));
        // Labels keep the size of their table row whatever they show. Saying so
        // spares each new reading a layout request to the window: a label of
        // variable size asks its parent to lay out again on every setText().
        if (row.kind == form::Kind::Label)
            control->setFixedSize(control->size());
        control->setFont(toQFont(row.font));
        if (row.further & form::Hidden)
            control->hide();
        if (row.kind == form::Kind::Frame)
            containers.emplace(row.name, control);
    }

    applyFormColours(*client);
    new PaletteChangeWatch(window, [client] { applyFormColours(*client); });

    // Raising bottom first leaves the first of each list on top.
    const auto stack = [&](std::span<const std::string_view> topFirst) {
        for (auto it = topFirst.rbegin(); it != topFirst.rend(); ++it)
            find<QWidget>(client, *it)->raise();
    };
    stack(form::formStacking);
    stack(form::aboutStacking);
    stack(form::portFrameStacking);

    // The Tab key follows the tab indexes; controls that never take the focus
    // simply drop out of the chain.
    std::array<const form::Control *, form::controls.size()> byTabIndex {};
    std::ranges::transform(form::controls, byTabIndex.begin(), [](const auto &c) { return &c; });
    std::ranges::sort(byTabIndex, {}, &form::Control::tabIndex);
    QWidget *previous = nullptr;
    for (const auto *row : byTabIndex) {
        if (row->tabIndex == form::noTabIndex)
            continue;
        QWidget *widget = find<QWidget>(client, row->name);
        if (!(widget->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }

    // The menu bar keeps the desktop's menu font, not the window's.
    window.menuBar()->setFont(QApplication::font("QMenuBar"));
    keepAltMenuBarOpen(window.menuBar());
    QAction *about = window.menuBar()->addAction(toQString(form::aboutMenu.caption));
    about->setObjectName(toQString(form::aboutMenu.control));

    window.resize(form::pixels(form::clientWidth),
                  form::pixels(form::clientHeight) + window.menuBar()->sizeHint().height());

    FormControls controls;
    controls.client = client;
    controls.Label2 = find<Readout>(client, "Label2");
    controls.Label6 = find<Readout>(client, "Label6");
    controls.Command1 = find<QPushButton>(client, "Command1");
    controls.Command2 = find<QPushButton>(client, "Command2");
    controls.Command3 = find<QPushButton>(client, "Command3");
    controls.Text1 = find<QLineEdit>(client, "Text1");
    controls.Shape1 = find<Shape>(client, "Shape1");
    controls.Text8 = find<QPlainTextEdit>(client, "Text8");
    controls.Text9 = find<QPlainTextEdit>(client, "Text9");
    controls.Image2 = find<QLabel>(client, "Image2");
    controls.mnu_prog = about;
    for (std::size_t i = 0; i < settingsBoxCount; ++i) {
        const std::string index = std::to_string(i);
        controls.Combo1[i] = find<QComboBox>(client, "Combo1(" + index + ")");
    }
    controls.Frame1 = {find<QGroupBox>(client, "Frame1(0)"), find<QGroupBox>(client, "Frame1(1)")};
    return controls;
}

} // namespace quadrelink
