// The POSIX part of the hang-up watch, built only on Unix.

#include "hangupwatch.h"

#include <QSerialPort>
#include <QSocketNotifier>

#include <poll.h>

namespace quadrelink::platform {

void watchForHangUp(QSerialPort &port, std::function<void()> onHangUp)
{
    const int descriptor = port.handle();
    if (descriptor < 0)
        return;
    // A terminal that has hung up polls as POLLHUP and POLLERR from then on,
    // and reads give 0 bytes. An exception notifier is woken by exactly those
    // (and by urgent data, which a terminal never has); unlike a read notifier
    // it stays quiet while received bytes wait for the program, so it costs
    // nothing however the port is used.
    auto *notifier = new QSocketNotifier(descriptor, QSocketNotifier::Exception, &port);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [descriptor, onHangUp = std::move(onHangUp)] {
                         pollfd state {descriptor, POLLIN, 0};
                         if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)))
                             onHangUp();
                     });
    // Before the next turn of the event loop, which must not poll a closed
    // descriptor or one that a later open reuses.
    QObject::connect(
        &port, &QIODevice::aboutToClose, notifier,
        [notifier] {
            notifier->setEnabled(false);
            notifier->deleteLater();
        },
        Qt::SingleShotConnection);
}

} // namespace quadrelink::platform
