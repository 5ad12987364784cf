#include "commerror.h"

namespace quadrelink {

// Debug messages off by default: the program logs nothing unless asked.
Q_LOGGING_CATEGORY(serialLog, "quadrelink.serial", QtInfoMsg)

} // namespace quadrelink
