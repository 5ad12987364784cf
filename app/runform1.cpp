#include "runform1.h"

#include "form1.h"
#include "serial/serialportcomm.h"
#include "signalclose.h"

#include <QApplication>
#include <QPointer>

namespace quadrelink {

int runForm1(std::unique_ptr<SerialPortComm> comm)
{
    QPointer<SerialPortComm> port = comm.get();
    const auto closePort = [port] {
        if (port && port->PortOpen())
            port->setPortOpen(false);
    };
    SignalClose signalClose(closePort);
    comm->setOpenAllowed(&SignalClose::portMayOpen);
    QObject::connect(comm.get(), &SerialPortComm::lockFileChanged, &signalClose,
                     &SignalClose::setLockFile);
    Form1 window(std::move(comm));
    window.show();
    const int status = QApplication::exec();
    return signalClose.exitStatus(status);
}

} // namespace quadrelink
