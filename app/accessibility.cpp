#include "accessibility.h"

#include "shape.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QVariant>

namespace quadrelink {

namespace {

// The property of a readout that holds the reading a screen reader is given.
constexpr char readingProperty[] = "quadrelinkReading";

QString readingOf(const QLabel &label)
{
    const QVariant reading = label.property(readingProperty);
    return reading.isValid() ? reading.toString() : label.text();
}

// A control that shows text and takes no input. Qt's AT-SPI bridge
// reads a control's text, and passes on its changes, only through a text
// interface: without one a label offers its name alone and its changes are
// dropped.
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
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

protected:
    [[nodiscard]] virtual QString shownText() const = 0;
};

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
};

// Without this a named label would hide its text from a screen reader: Qt
// gives a label's text only as its name, and only while it has no name of its
// own.
class ReadoutAccessible final : public StaticTextAccessible
{
public:
    explicit ReadoutAccessible(QLabel *label)
        : StaticTextAccessible(label)
    { }

private:
    QString shownText() const override { return readingOf(*static_cast<const QLabel *>(object())); }
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
    { }

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
};

QAccessibleInterface *formAccessible(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (auto *shape = qobject_cast<Shape *>(object))
        return new IndicatorAccessible(shape);
    // Named labels and boxes only: all others keep Qt's own interfaces.
    if (static_cast<QWidget *>(object)->accessibleName().isEmpty())
        return nullptr;
    if (className == QLatin1String("QLabel")) {
        // A label that shows a picture stays Qt's image.
        auto *label = static_cast<QLabel *>(object);
        return label->pixmap().isNull() ? new ReadoutAccessible(label) : nullptr;
    }
    if (className == QLatin1String("QComboBox"))
        return new SettingsBoxAccessible(static_cast<QComboBox *>(object));
    return nullptr;
}

} // namespace

QString portStateText(form::Colour indicatorColour)
{
    return indicatorColour == form::green ? QStringLiteral("open") : QStringLiteral("closed");
}

void showReadout(QLabel &label, const QString &text)
{
    const QString told = readingOf(label);
    label.setText(text);
    if (!label.property(readingProperty).isValid())
        label.setProperty(readingProperty, told);
    if (text.isEmpty() || text == told)
        return;
    label.setProperty(readingProperty, text);
    QAccessibleTextUpdateEvent event(&label, 0, told, text);
    QAccessible::updateAccessibility(&event);
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
