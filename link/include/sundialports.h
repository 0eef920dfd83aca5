// Port numbers to device nodes on POSIX systems: the table the library opens ports by. It is not
// one of the library's exported entries; programs that want to name ports as the library does
// compile it in (the sundial_ports target).
#pragma once

#include <string>

namespace sundial {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 256;

// The device node of port `number`, or an empty string when that number has none.
// `overrideList` is the value of SUNDIAL_PORTS (null when unset): a ':'-separated list whose
// n-th entry is port n. Without it the numbers map to fixed blocks, so that a board keeps its
// number while other devices come and go: 1-32 ttyS0-31, 33-64 ttyUSB0-31, 65-96 ttyACM0-31.
std::string portDevicePath(int number, const char* overrideList);

// The process that holds a UUCP lock file for the device ("LCK..ttyUSB0" in /run/lock or
// /var/lock, for the device the path resolves to), when it is alive and not this process;
// 0 when there is none. Programs such as minicom and picocom take the port this way.
long uucpLockHolder(const std::string& devicePath);

} // namespace sundial
