// Gives the board's port back when the program is stopped by SIGINT, SIGTERM or SIGHUP. The
// exclusive-use flag (TIOCEXCL) lives with the device, not with the program: a program that
// ends without closing the port leaves it refusing every other user for as long as any other
// process (a pseudo-terminal's far side, a serial console) keeps the device open.
#pragma once

namespace larkspur {

// Installs the handlers; once per process, before any port is opened. A handler clears the
// flag on every terminal this process holds beyond standard input, output and error (the link
// library keeps its descriptor to itself, and a signal may come in the middle of opening it),
// then ends the process by the same signal.
void releasePortOnStop();

} // namespace larkspur
