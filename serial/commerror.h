#pragma once

#include <QLoggingCategory>
#include <QString>

#include <stdexcept>
#include <utility>

namespace quadrelink {

// The serial control's reasons: why a port did not open, why it was closed.
// The window shows no more than a red circle, so this is where an operator or
// a maintainer reads why; off unless turned on with
// QT_LOGGING_RULES="quadrelink.serial.debug=true".
Q_DECLARE_LOGGING_CATEGORY(serialLog)

// What went wrong on the serial control. Every failure of the control is raised
// as one CommError carrying one of these codes, so that a caller can pass over a
// failing step and go on with the next one.
enum class CommErrorCode {
    InvalidPortNumber = 1,
    InvalidSettings,
    PortAlreadyOpen,
    PortNotOpen,
    OpenFailed,
    DeviceLost,
};

class CommError final : public std::runtime_error
{
public:
    CommError(CommErrorCode code, const QString &text)
        : std::runtime_error(text.toStdString())
        , m_code(code)
    { }

    [[nodiscard]] CommErrorCode code() const noexcept { return m_code; }
    [[nodiscard]] QString text() const { return QString::fromStdString(what()); }

private:
    CommErrorCode m_code;
};

// Runs one step with errors of the serial control suppressed: a failing step is
// abandoned without a message and the caller goes on with the next one. Returns
// whether the step ran to its end, which is all a caller may learn of the failure;
// the reason goes to serialLog.
template<typename Step> bool runSuppressed(Step &&step)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const CommError &error) {
        qCDebug(serialLog).noquote() << error.text();
        return false;
    }
}

} // namespace quadrelink
