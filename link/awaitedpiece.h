// How the link receives an awaited piece of an answer (an acknowledgement, a reply frame): in at
// most kCalls read calls. A call that finds bytes there returns at once with them; one that finds
// none waits until the whole rest has come or kReadTimeoutMs have passed. A piece not whole after
// kCalls calls has not arrived; a call that fails ends the wait at once.
//
// Transactions receive a piece with the port's own read calls, which keep that rule themselves.
// The search receives its probes' answers side by side, stepping each without waiting: the rule
// is then kept here, on the link's clock.
#pragma once

#include "boardport.h"
#include "linkclock.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace sundial {

class AwaitedPiece {
public:
    static constexpr int kCalls = 3;
    // The longest a piece is waited for: every call waits in vain.
    static constexpr int kLongestWaitMs = kCalls * kReadTimeoutMs;

    enum class State {
        Waiting, // stepping only: a call waits on
        Arrived, // the whole piece is in the buffer
        Missing, // kCalls calls ended without it
        Failed,  // a read call failed
    };

    // Fills `piece` with the port's read calls: Arrived, Missing or Failed. `have` tells how
    // many bytes of it came.
    static State receive(BoardPort& port, std::span<std::uint8_t> piece, std::size_t& have);

    // One step of receiving `piece` (the same buffer at every step): takes what the port has now
    // (readSoon without a wait) and reads `clock` once for each call made. Waiting while a call
    // waits for more, until callEnds().
    State step(BoardPort& port, std::span<std::uint8_t> piece, MillisecondClock clock);
    // When the call under way ends, on the clock given to step(); -1 when none waits.
    long long callEnds() const { return m_callEnds; }
    // The bytes of the piece received so far.
    std::size_t have() const { return m_have; }

private:
    // A call has ended: the piece is whole, or there are calls left, or it has not arrived.
    State endCall(std::size_t size);

    std::size_t m_have = 0;
    int m_calls = 0;
    long long m_callEnds = -1;
};

} // namespace sundial
