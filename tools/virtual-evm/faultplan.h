#pragma once

#include "request.h"

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
        Stall
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
    std::optional<Request::Kind> only;    // restrict to one kind of request
    std::optional<unsigned> onlyRegister; // restrict to requests for this first register
    long remaining = 1;                   // requests still to hit, or kAlways

    // Words after "fault": KIND [ARGS] [probe|setup|read|write|any] [reg R] [once|always|N].
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

class FaultPlan {
public:
    void arm(const Fault& fault) { m_fault = fault; }
    void clear() { m_fault.reset(); }
    const std::optional<Fault>& current() const { return m_fault; }

    // The fault to apply to this request, if any; uses up one count.
    std::optional<Fault> take(const Request& request);

    bool silentArmed() const { return m_fault && m_fault->kind == Fault::Kind::Silent; }

private:
    std::optional<Fault> m_fault;
};

} // namespace virtualevm
