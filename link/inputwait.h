// The port search's wait for input on several ports at once. It must know every kind of port's
// wait handle (a serial device, a socket), so each platform has it in a file of its own
// (inputwait_posix.cpp, inputwait_win32.cpp) beside the port backends rather than in one of them.
#pragma once

#include "boardport.h"

#include <span>

namespace sundial {

// Waits until input arrives on any of `ports`, or `waitMs` have passed. Nothing is read.
void waitForInput(std::span<BoardPort* const> ports, int waitMs);
using InputWaiter = void (*)(std::span<BoardPort* const> ports, int waitMs);

} // namespace sundial
