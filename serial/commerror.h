#pragma once

#include <QString>

#include <stdexcept>
#include <utility>

namespace quadrelink {

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
        , m_text(text)
    { }

    [[nodiscard]] CommErrorCode code() const noexcept { return m_code; }
    [[nodiscard]] QString text() const { return m_text; }

private:
    CommErrorCode m_code;
    QString m_text;
};

// Runs one step with errors of the serial control suppressed: a failing step is
// abandoned without a message and the caller goes on with the next one. Returns
// whether the step ran to its end, which is all a caller may learn of the failure.
template<typename Step> bool runSuppressed(Step &&step)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const CommError &) {
        return false;
    }
}

} // namespace quadrelink
