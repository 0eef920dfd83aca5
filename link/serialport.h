// The port layer: one open serial port, as the board link needs it. Each platform has its own
// backend file; the link logic above it is the same everywhere.
#pragma once

#include "include/sundialports.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace sundial {

inline constexpr int kReadTimeoutMs = 600;
inline constexpr int kWriteTimeoutPerByteMs = 5;
inline constexpr int kWriteTimeoutMs = 600;
// After a failed exchange the line is drained until it has been quiet this long: a few character
// times (87 us each at 115200 baud), the board's turnaround, and a USB adapter's latency timer,
// which may hold received bytes for up to 16 ms before passing them on.
inline constexpr int kDrainQuietMs = 20;
// A line that never goes quiet (noise, a babbling board) still ends the drain after this long.
inline constexpr int kDrainLimitMs = 600;
// Back in step after a failure: the probe's answer must be the last thing on the line for this
// long. Longer than the drain's quiet, because a board that was stalled answers its queued
// requests back to back, and a bridge may pass them on in bursts.
inline constexpr int kResyncQuietMs = 50;
// An answer shaped like the probe's (1F 00 and a 3-byte frame) that is not the one the board
// gave the search's probe may be a late write reply: only a whole read wait of quiet after it
// says that nothing, the probe's answer included, is still on its way.
inline constexpr int kResyncUnsureQuietMs = kReadTimeoutMs;
// How long the probe's answer may take in all: three read waits, as any awaited piece, plus a
// drain's worth of older replies arriving before it.
inline constexpr int kResyncLimitMs = 3 * kReadTimeoutMs + kDrainLimitMs;
// A line that keeps sending during the resynchronisation is not in step.
inline constexpr int kResyncByteLimit = 2048;

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // One read call: returns at once with the bytes already received (at most `buffer.size()`);
    // when none are there, waits until the whole count has arrived or kReadTimeoutMs have
    // passed and returns what came, possibly 0. -1 when the call fails (device gone).
    virtual int read(std::span<std::uint8_t> buffer) = 0;

    // One read call that waits at most `waitMs` (instead of kReadTimeoutMs) and returns as soon
    // as any bytes are there: what came, possibly 0; -1 when the call fails.
    virtual int readSoon(std::span<std::uint8_t> buffer, int waitMs) = 0;

    // Sends every byte within kWriteTimeoutPerByteMs per byte + kWriteTimeoutMs.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;

    // Discards whatever has been received and not yet read.
    virtual void purgeReceive() = 0;

    // Reads and discards until nothing has arrived for `quietMs`, for at most `limitMs` in all
    // (or until the port fails), then discards whatever is left, as purgeReceive() does.
    virtual void drainReceive(int quietMs, int limitMs) = 0;

    // Closes the port; the platform close call's result, nonzero on success.
    virtual int close() = 0;

    // What the platform can wait on for this port's input: a descriptor (POSIX), a handle or
    // a socket (Windows); -1 when there is none.
    struct WaitHandle {
        std::intptr_t value = -1;
        bool socket = false;
    };
    virtual WaitHandle waitHandle() const = 0;
};

// Opens and sets up port `number` (1 to 256): exclusive, 115200 8N1, DTR raised.
// Null when the port does not exist, is in use or cannot be set up.
using PortOpener = std::unique_ptr<SerialPort> (*)(int number);

// The library's opener: the port's name from the port table, then a serial device through the
// platform backend or a network port for a URL.
std::unique_ptr<SerialPort> openSerialPort(int number);
// The name openSerialPort() opens port `number` by.
std::string portName(int number);

// For the length of one _init: SUNDIAL_PORTS is read once, and openSerialPort() names ports from
// that reading, each entry of the list looked up once however many ports the search opens.
// Outside one, SUNDIAL_PORTS is read at each call.
class PortListScope {
public:
    PortListScope();
    ~PortListScope();
    PortListScope(const PortListScope&) = delete;
    PortListScope& operator=(const PortListScope&) = delete;

private:
    PortTable m_table;
    PortTable* m_outer;
};

// The platform backend: a serial device by name (a path, or a Windows device name).
std::unique_ptr<SerialPort> openSerialDevice(const std::string& name);

} // namespace sundial
