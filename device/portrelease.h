// Gives the board's port back when the program is stopped by SIGINT, SIGTERM or SIGHUP. The
// exclusive-use flag (TIOCEXCL) lives with the device, not with the program: a program that
// ends without closing the port leaves it refusing every other user for as long as any other
// process (a pseudo-terminal's far side, a serial console) keeps the device open.
#pragma once

#include <cstdint>

namespace larkspur {

// Installs the handlers; once per process, before any port is opened. A handler clears the
// flag on the port in use, then ends the process by the same signal.
void releasePortOnStop();

// The link's port in use: its descriptor is looked up among this process's open files (the link
// library keeps it to itself). 0: none.
void watchLinkPort(std::int32_t port);

} // namespace larkspur
