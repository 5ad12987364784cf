// PortClaim where there are no lock files and no flock() (Windows): there the
// system itself opens a port for one program at a time.

#include "portclaim.h"

namespace quadrelink {

PortClaim::PortClaim(const QString &) { }

PortClaim::~PortClaim() = default;

bool PortClaim::lockOpenDevice(qintptr)
{
    return true;
}

QString PortClaim::lockFilePath(const QString &)
{
    return {};
}

} // namespace quadrelink
