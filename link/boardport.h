// The board port: the byte pipe to the board that the link talks through, whatever carries it
// (a serial device through the platform's backend, a network serial server). The link logic
// above it is the same for every kind.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

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

class BoardPort {
public:
    virtual ~BoardPort() = default;

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
using PortOpener = std::unique_ptr<BoardPort> (*)(int number);

} // namespace sundial
