#include "announcer.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>

namespace quadrelink {

// Qt 6.8 brought an announcement event, a box's value as an attribute, and the
// telling of a focused box's changed description.
#define QUADRELINK_QT_ANNOUNCES (QT_VERSION >= QT_VERSION_CHECK(6, 8, 0))

namespace {

// Whether the screen reader already says a changed description of the focused
// box itself, so that announcing it too would say it twice: with Qt 6.8 it
// does over AT-SPI. UI Automation has no event for a changed description, so
// on Windows the state is announced whatever has the focus. Each platform's
// and each Qt version's rule goes here.
bool toldByFocus([[maybe_unused]] const QComboBox &box)
{
#if QUADRELINK_QT_ANNOUNCES && !defined(Q_OS_WIN)
    return box.hasFocus() || (box.lineEdit() && box.lineEdit()->hasFocus());
#else
    return false;
#endif
}

#if !QUADRELINK_QT_ANNOUNCES
// Where Qt has no announcement, a screen reader speaks a notification as it
// appears, with its name. The speaker is such an object: never seen, never
// focused, and of no size, so that a review of the screen passes it by. It
// stays shown: only its appearance is told again, since showing and hiding a
// control would have the window laid out anew at each message.
class Speaker final : public QWidget
{
public:
    explicit Speaker(QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("speaker"));
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFixedSize(0, 0);
    }
};
#endif

} // namespace

// With Qt 6.8 the client announces itself: no speaker, which a review of
// the screen would read as "notification".
Announcer::Announcer(QWidget &client)
#if QUADRELINK_QT_ANNOUNCES
    : m_speaker(&client)
#else
    : m_speaker(new Speaker(&client))
#endif
{ }

void Announcer::announce(const QString &message)
{
#if QUADRELINK_QT_ANNOUNCES
    QAccessibleAnnouncementEvent event(m_speaker, message);
#else
    m_speaker->setAccessibleName(message);
    QAccessibleEvent event(m_speaker, QAccessible::ObjectShow);
#endif
    QAccessible::updateAccessibility(&event);
}

void Announcer::announcePortState(const QComboBox &portBox)
{
    if (!toldByFocus(portBox))
        announce(portBox.accessibleDescription());
}

QAccessibleInterface *announcerAccessible([[maybe_unused]] QObject *object)
{
#if !QUADRELINK_QT_ANNOUNCES
    if (auto *speaker = dynamic_cast<Speaker *>(object))
        return new QAccessibleWidget(speaker, QAccessible::Notification);
#endif
    return nullptr;
}

#if QUADRELINK_QT_ANNOUNCES
// Qt 6.8 gives the focus to the box, not to its text field, and a screen
// reader then takes the box's value from its "valuetext" attribute: it finds
// no field in the box and would say the box's name twice instead.
struct SettingsBoxExtras::Attributes final : QAccessibleAttributesInterface
{
    explicit Attributes(const QComboBox &box)
        : box(box)
    { }

    QList<QAccessible::Attribute> attributeKeys() const override
    {
        return {QAccessible::Attribute::Custom};
    }
    QVariant attributeValue(QAccessible::Attribute key) const override
    {
        if (key != QAccessible::Attribute::Custom)
            return {};
        QHash<QString, QString> custom;
        custom.insert(QStringLiteral("valuetext"), box.currentText());
        return QVariant::fromValue(custom);
    }

    const QComboBox &box;
};

SettingsBoxExtras::SettingsBoxExtras(const QComboBox &box)
    : m_attributes(std::make_unique<Attributes>(box))
{ }

void *SettingsBoxExtras::interfaceCast(QAccessible::InterfaceType type) const
{
    if (type == QAccessible::AttributesInterface)
        return static_cast<QAccessibleAttributesInterface *>(m_attributes.get());
    return nullptr;
}
#else
struct SettingsBoxExtras::Attributes
{ };

SettingsBoxExtras::SettingsBoxExtras(const QComboBox &) { }

void *SettingsBoxExtras::interfaceCast(QAccessible::InterfaceType) const
{
    return nullptr;
}
#endif

SettingsBoxExtras::~SettingsBoxExtras() = default;

} // namespace quadrelink
