// Any lock file's first bytes (the lock directory is every user's to write):
// parsing never crashes, whatever is accepted names a process number a
// process can have, and a lock written for what was read reads back the same.

#include "serial/lockfile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data),
                               qsizetype(std::min(size, size_t(quadrelink::lockFileReadLimit))));
    const auto parsed = quadrelink::parseLockFile(bytes);
    if (!parsed)
        return 0;
    if (parsed->pid <= 0 || parsed->pid > INT_MAX)
        std::abort();
    // Names with a line end in them cannot be written on a line of their own.
    if (parsed->program.contains('\n') || parsed->host.contains('\n'))
        std::abort();
    const QByteArray written = quadrelink::lockFileText(*parsed);
    const auto reread = quadrelink::parseLockFile(written);
    if (!reread || reread->pid != parsed->pid || reread->program != parsed->program
        || reread->host != parsed->host)
        std::abort();
    return 0;
}
