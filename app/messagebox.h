#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace quadrelink {

// Shows a message to the operator and returns when it was closed. Injected
// into the window so that tests capture the message instead of blocking on it.
using MessageBox = std::function<void(QWidget *owner, const QString &text)>;

// The message box of the program: the text, an OK button only, no icon and no
// title of its own, modal over its owner.
void showMessageBox(QWidget *owner, const QString &text);

} // namespace quadrelink
