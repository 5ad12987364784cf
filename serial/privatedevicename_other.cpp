// PrivateDeviceName where Qt SerialPort takes no lock file (Windows): the
// device's own name.

#include "privatedevicename.h"

namespace quadrelink {

PrivateDeviceName::PrivateDeviceName(const QString &device)
    : m_path(device)
{ }

PrivateDeviceName::~PrivateDeviceName() = default;

} // namespace quadrelink
