#pragma once

#include "request.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace virtualevm {

// A misbehaviour to put on the next request frame(s), so the PC side's error paths can be
// exercised. Acknowledgements from the PC are not requests and do not use up a fault.
struct Fault {
    enum class Kind {
        Silent,
        NoAck,
        WrongAck,
        NoReply,
        Pieces,
        Late,
        Garbage,
        BadStart,
        BadLength,
        BadSum,
        Split,
        Babble,
        Stall,
        Slow,
        Repeat
    };

    static constexpr long kAlways = -1;

    Kind kind = Kind::Silent;
    unsigned pieces = 2;
    unsigned firstMs = 300;
    unsigned gapMs = 600;
    unsigned lateMs = 2000;
    bool lateHeld = false; // late: kept back until the "release" command rather than a delay
    unsigned splitAt = 0;  // bytes sent before the hold; 0: half the reply
    unsigned babbleMs = 1000;
    unsigned stallMs = 2500;
    unsigned slowMs = 2000; // slow: the whole answer after this
    unsigned againMs = 0;   // slow, repeat: the same answer once more this long after; 0 none
    // slow, repeat: the delays count from the last answer still due, as a board that answers
    // in order, rather than from this request
    bool behind = false;
    std::optional<Request::Kind> only;    // restrict to one kind of request
    std::optional<unsigned> onlyRegister; // restrict to requests for this first register
    long remaining = 1;                   // requests still to hit, or kAlways

    // Words after "fault": KIND [ARGS] [behind] [probe|setup|read|write|any] [reg R]
    // [once|always|N].
    // Throws std::invalid_argument with a short reason.
    static Fault parse(const std::vector<std::string>& words);

    bool matches(const Request& request) const {
        return (!only || *only == request.kind) &&
               (!onlyRegister ||
                (request.kind != Request::Kind::Probe && request.kind != Request::Kind::Setup &&
                 (request.regField & 0x7Fu) == (*onlyRegister & 0x7Fu)));
    }
    std::string describe() const;
};

// The faults armed, in order: a request takes the first one that matches it, so that faults
// can be stacked on the requests of one exchange (a late answer, then a slow probe, then a lost
// request).
class FaultPlan {
public:
    static constexpr std::size_t kMaxFaults = 16;

    void arm(const Fault& fault) { m_faults.assign(1, fault); }
    // Behind those armed; throws std::invalid_argument when kMaxFaults are armed.
    void add(const Fault& fault);
    void clear() { m_faults.clear(); }
    // The first fault armed.
    std::optional<Fault> current() const {
        return m_faults.empty() ? std::nullopt : std::optional<Fault>(m_faults.front());
    }

    // The fault to apply to this request, if any; uses up one count.
    std::optional<Fault> take(const Request& request);

    bool silentArmed() const {
        return !m_faults.empty() && m_faults.front().kind == Fault::Kind::Silent;
    }

private:
    std::vector<Fault> m_faults;
};

} // namespace virtualevm
