// The port search: opens ports in turn and probes them side by side, each probe's answer
// received by the same rule as a transaction's (awaitedpiece.h); the lowest-numbered port whose
// board answers is the one found.
#pragma once

#include "awaitedpiece.h"
#include "boardport.h"
#include "frame.h"
#include "inputwait.h"
#include "linkclock.h"
#include "linktrace.h"

#include <array>
#include <cstdint>
#include <memory>

namespace sundial {

// The probe's answer after its acknowledgement: a reply frame of the short payload.
using ProbeAnswer = std::array<std::uint8_t, kShortReplyPayload + 4>;

struct FoundBoard {
    int number = 0; // 0 when no board answered
    std::unique_ptr<BoardPort> port;
    ProbeAnswer answer{}; // the reply frame the board gave the probe
};

class PortSearch {
public:
    // The search opens the next port when the ports it has probed have not answered within
    // this: a board answers well within it, so a board on the first port that opens is found
    // without touching any other, while silent ports wait out their probes side by side.
    static constexpr int kStaggerMs = 50;

    // `trace`, when given, gets each port's probe and answer.
    constexpr PortSearch(PortOpener opener, MillisecondClock clock, InputWaiter waiter,
                         LinkTrace* trace = nullptr)
        : m_opener(opener), m_clock(clock), m_waiter(waiter), m_trace(trace) {}

    // Opens and probes ports `first` to `last`, several at once. The lowest-numbered port whose
    // board answered (probe acknowledged, reply frame received, closing acknowledgement sent) is
    // handed over open; every other port it opened is closed.
    FoundBoard run(int first, int last) const;

private:
    struct Candidate;
    // Takes what has arrived for a candidate's probe, as an exchange receives its pieces; false
    // while it still waits.
    bool advance(Candidate& candidate) const;
    bool tracing() const { return m_trace != nullptr && m_trace->on(); }

    PortOpener m_opener;
    MillisecondClock m_clock;
    InputWaiter m_waiter;
    LinkTrace* m_trace;
};

} // namespace sundial
