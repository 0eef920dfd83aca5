// The driver's low-latency mode on Linux: USB-serial adapters (ftdi_sio) otherwise hold received
// bytes for their latency timer, 16 ms, before passing them on, and every acknowledgement waits
// for it. The driver calls are a seam, so tests can see the request and the restore.
#pragma once

#include <linux/serial.h>

namespace sundial {

struct SerialDriverCalls {
    int (*getSerial)(int fd, serial_struct* settings);
    int (*setSerial)(int fd, const serial_struct* settings);
};

// The calls the POSIX backend makes; TIOCGSERIAL and TIOCSSERIAL unless replaced.
SerialDriverCalls& serialDriverCalls();

// Asks for low latency; the settings to put back at close, or nothing when the driver refused
// (pseudo-terminals and many drivers have no such settings).
struct LowLatency {
    bool changed = false;
    serial_struct before{};
};
LowLatency requestLowLatency(int fd);
void restoreLatency(int fd, const LowLatency& saved);

} // namespace sundial
