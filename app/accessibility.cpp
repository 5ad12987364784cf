#include "accessibility.h"

#include "shape.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace quadrelink {

namespace {

class IndicatorAccessible final : public QAccessibleWidget
{
public:
    explicit IndicatorAccessible(Shape *shape)
        : QAccessibleWidget(shape, QAccessible::Indicator)
    { }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return portStateText(static_cast<const Shape *>(object())->BackColor());
        return QAccessibleWidget::text(kind);
    }
};

// Without this a named label would hide its text from a screen reader: Qt
// announces a label's text only as its name, and only while it has no name of
// its own.
class ReadoutAccessible final : public QAccessibleWidget
{
public:
    explicit ReadoutAccessible(QLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    { }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return static_cast<const QLabel *>(object())->text();
        return QAccessibleWidget::text(kind);
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
    if (className == QLatin1String("QLabel"))
        return new ReadoutAccessible(static_cast<QLabel *>(object));
    if (className == QLatin1String("QComboBox"))
        return new SettingsBoxAccessible(static_cast<QComboBox *>(object));
    return nullptr;
}

} // namespace

QString portStateText(form::Colour indicatorColour)
{
    return indicatorColour == form::green ? QStringLiteral("open") : QStringLiteral("closed");
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
