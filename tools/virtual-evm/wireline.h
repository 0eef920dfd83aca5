// A serial line as slow as a real one: each byte takes its time on the wire (a start bit, eight
// data bits and a stop bit at the baud rate), in each direction on its own, and what the board
// sends reaches the PC a USB adapter's turnaround later. No I/O and no clock of its own: each
// call is given the time. Off (baud 0, latency 0), bytes pass at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace virtualevm {

class WireLine {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    static constexpr unsigned kBitsPerByte = 10; // 8N1: a start bit and a stop bit
    // However fast a PC writes, the line holds no more than this in each direction; what comes
    // beyond is dropped, as a full buffer drops it.
    static constexpr std::size_t kMaxQueuedBytes = 1u << 20;

    WireLine() = default;
    WireLine(unsigned baud, std::chrono::microseconds latency);

    bool on() const { return m_byteTime.count() > 0 || m_latency.count() > 0; }
    // The time one byte takes on the wire.
    std::chrono::nanoseconds byteTime() const { return m_byteTime; }

    // Bytes the PC wrote at `now`: the board has them once they have crossed the wire, behind
    // those still crossing.
    void fromPc(const std::uint8_t* bytes, std::size_t size, TimePoint now);
    // Bytes the board puts on the line at `now`: the PC has them once they have crossed the
    // wire behind those before them, and the adapter's latency has passed. False when the
    // line holds too much already and they are dropped.
    bool fromBoard(std::vector<std::uint8_t> bytes, TimePoint now);

    // What has arrived by `now` on either side, in order; each piece as it was written.
    std::vector<std::vector<std::uint8_t>> arrivedAtBoard(TimePoint now);
    std::vector<std::vector<std::uint8_t>> arrivedAtPc(TimePoint now);

    // When the next piece arrives on either side; none when nothing is crossing.
    std::optional<TimePoint> nextArrival() const;
    bool idle() const { return m_toBoard.empty() && m_toPc.empty(); }
    // The cable was pulled: what was crossing is lost.
    void clear();

private:
    struct Piece {
        TimePoint arrives;
        std::vector<std::uint8_t> bytes;
    };
    struct Direction {
        std::deque<Piece> pieces;
        std::size_t bytes = 0;
        TimePoint free{}; // when the wire has sent what it was given
        bool empty() const { return pieces.empty(); }
    };

    // Puts `bytes` on the wire of `direction` at `now`; they arrive `after` their last bit.
    bool put(Direction& direction, std::vector<std::uint8_t> bytes, TimePoint now,
             Clock::duration after);
    static std::vector<std::vector<std::uint8_t>> take(Direction& direction, TimePoint now);

    std::chrono::nanoseconds m_byteTime{0};
    std::chrono::microseconds m_latency{0};
    Direction m_toBoard;
    Direction m_toPc;
};

} // namespace virtualevm
