#pragma once

#include <QAccessible>

#include <memory>

class QAccessibleInterface;
class QComboBox;
class QObject;
class QString;
class QWidget;

namespace quadrelink {

// Says a short message through the screen reader now, whatever has the focus.
// The message is spoken once and is no part of what is read on demand.
//
// Every rule that depends on the Qt version, or on the platform's screen
// reader, lives in this file's implementation: how a message is said, when a
// change of the port state is said already, and what a settings box tells
// beyond Qt's own interface.
class Announcer final
{
public:
    // The messages come from the window's client area.
    explicit Announcer(QWidget &client);

    void announce(const QString &message);

    // The port box's description has just changed to the new port state: said
    // unless the screen reader says it already from the focused box.
    void announcePortState(const QComboBox &portBox);

private:
    // What tells the messages: the client area itself, or where Qt has no
    // announcement a speaker inside it.
    QWidget *m_speaker;
};

// The accessible interface of an object of the announcer's own (its speaker),
// nullptr for any other.
[[nodiscard]] QAccessibleInterface *announcerAccessible(QObject *object);

// What a settings box's accessible interface adds to Qt's where the Qt version
// needs it: its value as a "valuetext" attribute, which a screen reader reads
// when the focus is on the box itself rather than on its text field.
class SettingsBoxExtras final
{
public:
    explicit SettingsBoxExtras(const QComboBox &box);
    ~SettingsBoxExtras();

    // What the box's interface_cast hands out for `type`; nullptr when Qt's own
    // answer stands.
    [[nodiscard]] void *interfaceCast(QAccessible::InterfaceType type) const;

private:
    struct Attributes;
    std::unique_ptr<Attributes> m_attributes;
};

} // namespace quadrelink
