#pragma once

#include <memory>

namespace quadrelink {

class SerialPortComm;

// The programs' main loop: runs the window over `comm` until it ends, with the
// termination signals handled before the window opens the port. Returns what
// main returns. Shared by the program and its demo, which differ only in the
// port map they give.
[[nodiscard]] int runForm1(std::unique_ptr<SerialPortComm> comm);

} // namespace quadrelink
