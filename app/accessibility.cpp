#include "accessibility.h"

#include "announcer.h"
#include "readout.h"
#include "shape.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFontMetrics>
#include <QHash>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QStyle>

#include <algorithm>

namespace quadrelink {

namespace {

// A control that shows text and takes no input. Qt's AT-SPI bridge
// reads a control's text, and passes on its changes, only through a text
// interface: without one a label offers its name alone and its changes are
// dropped. A screen reader's review of the screen places the text by the
// rectangles of its characters; without them it reads the name alone.
class StaticTextAccessible
    : public QAccessibleWidget
    , public QAccessibleTextInterface
{
public:
    explicit StaticTextAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::StaticText)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return shownText();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }

    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QString text(int startOffset, int endOffset) const override
    {
        const QString shown = shownText();
        startOffset = qBound(0, startOffset, int(shown.size()));
        endOffset
            = endOffset < 0 ? int(shown.size()) : qBound(startOffset, endOffset, int(shown.size()));
        return shown.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(shownText().size()); }
    // In screen coordinates.
    QRect characterRect(int offset) const override
    {
        if (offset < 0 || offset >= characterCount())
            return {};
        const QRect rect = characterArea(offset);
        return {widget()->mapToGlobal(rect.topLeft()), rect.size()};
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = widget()->mapFromGlobal(point);
        for (int offset = 0; offset < characterCount(); ++offset)
            if (characterArea(offset).contains(local))
                return offset;
        return -1;
    }
    void scrollToSubstring(int, int) override { }
    // One run over the whole text, in the control's language where it has one
    // of its own, so that a screen reader can choose a voice for it.
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        if (offset < 0 || offset >= characterCount() || language().isEmpty()) {
            *startOffset = *endOffset = offset;
            return {};
        }
        *startOffset = 0;
        *endOffset = characterCount();
        return QStringLiteral("language:") + language() + u';';
    }

protected:
    [[nodiscard]] virtual QString language() const { return {}; }
    [[nodiscard]] virtual QString shownText() const = 0;
    // Where a character is, in the control's own coordinates.
    [[nodiscard]] virtual QRect characterArea(int offset) const = 0;
};

// The indicator draws no text: each character of "open" or "closed" lies
// over the whole circle.
class IndicatorAccessible final : public StaticTextAccessible
{
public:
    explicit IndicatorAccessible(Shape *shape)
        : StaticTextAccessible(shape)
    { }

private:
    QString shownText() const override
    {
        return portStateText(static_cast<const Shape *>(object())->BackColor());
    }
    QRect characterArea(int) const override { return widget()->rect(); }
};

// Without this a named label would hide its text from a screen reader: Qt
// gives a label's text only as its name, and only while it has no name of its
// own.
class ReadoutAccessible final : public StaticTextAccessible
{
public:
    explicit ReadoutAccessible(Readout *label)
        : StaticTextAccessible(label)
    { }

private:
    const Readout &readout() const { return *static_cast<const Readout *>(object()); }
    QString shownText() const override { return readout().reading(); }
    // The reading on one line, placed in the label as the label places it;
    // during the blank it is where it shows again when the answer comes.
    QRect characterArea(int offset) const override
    {
        const QString reading = shownText();
        const QFontMetrics metrics(readout().font());
        const QRect line = QStyle::alignedRect(
            readout().layoutDirection(),
            QStyle::visualAlignment(readout().layoutDirection(), readout().alignment()),
            QSize(metrics.horizontalAdvance(reading), metrics.height()), readout().contentsRect());
        const int left = metrics.horizontalAdvance(reading.left(offset));
        const int right = metrics.horizontalAdvance(reading.left(offset + 1));
        return {line.left() + left, line.top(), right - left, line.height()};
    }
};

// The text of a message box. Qt offers it as the label's name only, in no
// language; the box's locale is the language of its message.
class MessageTextAccessible final : public StaticTextAccessible
{
public:
    explicit MessageTextAccessible(QLabel *label)
        : StaticTextAccessible(label)
    { }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return shownText();
        return StaticTextAccessible::text(kind);
    }

private:
    const QLabel &label() const { return *static_cast<const QLabel *>(object()); }
    QString shownText() const override { return label().text(); }
    QRect characterArea(int) const override { return label().contentsRect(); }
    QString language() const override
    {
        const QLocale locale = label().locale();
        return locale == QLocale() ? QString() : locale.bcp47Name();
    }
};

// On Linux Qt names an editable box after its text and leaves its caption to a
// label beside it; the window's captions ("COM", "rate") are too terse to stand
// alone, so a settings box carries its own name on every platform. Its value
// is the text it shows, announced by the box itself when a choice changes it.
class SettingsBoxAccessible final : public QAccessibleWidget
{
public:
    explicit SettingsBoxAccessible(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
        , m_extras(*box)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (void *extra = m_extras.interfaceCast(type))
            return extra;
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = box()->isEditable();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList {showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(object()); }

    SettingsBoxExtras m_extras;
};

// The window's client area. A control that a shown sibling stacked above it
// covers whole cannot be seen, so it is not among the children a screen
// reader walks when it reviews the screen; it keeps its place in the focus
// chain, and focused, it is still told. Hidden controls (the About panel
// until it is shown) are left out too: a screen reader that looked at one
// while hidden remembers it as invisible even after it is shown, as Qt
// tells it only that the control started showing.
class ClientAreaAccessible final : public QAccessibleWidget
{
public:
    explicit ClientAreaAccessible(QWidget *client)
        : QAccessibleWidget(client, QAccessible::Client)
    { }

    int childCount() const override { return int(uncovered().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = uncovered();
        if (index < 0 || index >= children.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(children.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || !child->object() || !child->object()->isWidgetType())
            return -1;
        return int(uncovered().indexOf(static_cast<QWidget *>(child->object())));
    }

private:
    // Children bottom first, as they are stacked.
    QList<QWidget *> uncovered() const
    {
        QList<QWidget *> stacked;
        for (QObject *child : widget()->children())
            if (auto *w = qobject_cast<QWidget *>(child); w && !w->isWindow() && !w->isHidden())
                stacked.append(w);
        QList<QWidget *> seen;
        for (auto it = stacked.cbegin(); it != stacked.cend(); ++it) {
            const QRect area = (*it)->geometry();
            const bool covered = std::any_of(it + 1, stacked.cend(), [&](const QWidget *above) {
                return above->isVisible() && above->geometry().contains(area);
            });
            if (!covered)
                seen.append(*it);
        }
        return seen;
    }
};

QAccessibleInterface *formAccessible(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (auto *shape = qobject_cast<Shape *>(object))
        return new IndicatorAccessible(shape);
    if (auto *readout = qobject_cast<Readout *>(object))
        return new ReadoutAccessible(readout);
    if (QAccessibleInterface *own = announcerAccessible(object))
        return own;
    auto *widget = static_cast<QWidget *>(object);
    if (auto *label = qobject_cast<QLabel *>(object);
        label && !label->text().isEmpty() && qobject_cast<QMessageBox *>(label->window()))
        return new MessageTextAccessible(label);
    if (auto *window = qobject_cast<QMainWindow *>(widget->parentWidget());
        window && window->centralWidget() == widget)
        return new ClientAreaAccessible(widget);
    // Named boxes only: all others keep Qt's own interfaces.
    if (auto *box = qobject_cast<QComboBox *>(object); box && !box->accessibleName().isEmpty())
        return new SettingsBoxAccessible(box);
    return nullptr;
}

void describe(QWidget &widget, const QString &description)
{
    if (widget.accessibleDescription() != description)
        widget.setAccessibleDescription(description);
}

} // namespace

void describeBox(QComboBox &box, const QString &description)
{
    describe(box, description);
    if (QLineEdit *field = box.lineEdit())
        describe(*field, description);
}

QString portStateText(form::Colour indicatorColour)
{
    return indicatorColour == form::green ? QStringLiteral("open") : QStringLiteral("closed");
}

void describeParityLetters(QComboBox &parityBox)
{
    const auto describeLetter = [&parityBox](const QString &letter) {
        static const QHash<QString, QString> words {
            {QStringLiteral("n"), QStringLiteral("none")},
            {QStringLiteral("e"), QStringLiteral("even")},
            {QStringLiteral("o"), QStringLiteral("odd")},
            {QStringLiteral("s"), QStringLiteral("space")},
            {QStringLiteral("m"), QStringLiteral("mark")},
        };
        describeBox(parityBox, words.value(letter.trimmed().toLower()));
    };
    QObject::connect(&parityBox, &QComboBox::editTextChanged, &parityBox, describeLetter);
    describeLetter(parityBox.currentText());
}

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(&formAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace quadrelink
