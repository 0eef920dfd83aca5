// The port layer: one open serial port, as the board link needs it. Each platform has its own
// backend file; the link logic above it is the same everywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace sundial {

inline constexpr int kReadTimeoutMs = 600;
inline constexpr int kWriteTimeoutPerByteMs = 5;
inline constexpr int kWriteTimeoutMs = 600;

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // One read call: returns at once with the bytes already received (at most `buffer.size()`);
    // when none are there, waits until the whole count has arrived or kReadTimeoutMs have
    // passed and returns what came, possibly 0. -1 when the call fails (device gone).
    virtual int read(std::span<std::uint8_t> buffer) = 0;

    // Sends every byte within kWriteTimeoutPerByteMs per byte + kWriteTimeoutMs.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;

    // Discards whatever has been received and not yet read.
    virtual void purgeReceive() = 0;

    // Closes the port; the platform close call's result, nonzero on success.
    virtual int close() = 0;
};

// Opens and sets up port `number` (1 to 256): exclusive, 115200 8N1, DTR raised.
// Null when the port does not exist, is in use or cannot be set up.
using PortOpener = std::unique_ptr<SerialPort> (*)(int number);

// The platform backend's opener.
std::unique_ptr<SerialPort> openSerialPort(int number);

} // namespace sundial
