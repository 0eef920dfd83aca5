// Serial devices: each platform's backend (serialport_posix.cpp, serialport_win32.cpp) opens
// one as a board port, with the same read time-outs everywhere.
#pragma once

#include "boardport.h"

#include <memory>
#include <string>

namespace sundial {

// A serial device by name (a path, or a Windows device name); null when it does not exist, is
// in use or cannot be set up.
std::unique_ptr<BoardPort> openSerialDevice(const std::string& name);

} // namespace sundial
