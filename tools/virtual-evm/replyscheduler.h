#pragma once

#include "evmsession.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace virtualevm {

// When the board's traffic goes out: at once, after its delay, behind the answers still due,
// in order once a stall is over, kept back until released, or repeated as a babble. No I/O and
// no clock of its own: each call is given the time, and what is due comes back as events to log
// and, for tx, to put on the line.
class ReplyScheduler {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // Often enough that a PC reading in its usual slices never finds the line quiet.
    static constexpr auto kBabbleGap = std::chrono::milliseconds(2);
    // Answers waiting on time or on release() beyond this are dropped, as by a board whose
    // buffer is full: a PC that keeps asking under a delaying fault must not grow them without
    // bound.
    static constexpr std::size_t kMaxWaiting = 16384;

    // The session's events for input taken at `now`, in their order (they are moved from). Rx
    // events and answers sent without delay are due at once; an answer that starts a babble
    // replaces a babble still running.
    void add(std::vector<Event>& events, TimePoint now);
    // Appends what is due by `now`, in order: what add() made due at once, then the delayed
    // answers whose time has come, as they were due, then at most one babble burst however late
    // the call is (a stalled loop does not owe the line a flood).
    void takeDue(TimePoint now, std::vector<Event>& due);
    // When something is next due: none when nothing waits on time (held replies wait for
    // release()).
    std::optional<TimePoint> nextDeadline() const;

    // The replies kept back by "late held", in the order they were kept back, due at once.
    std::vector<Event> release();
    void stopBabble() { m_babble.reset(); }
    // Drops everything due, held, stalled or babbling: the cable was pulled.
    void clear();
    // Nothing due now or later and no babble running; held replies do not count.
    bool idle() const { return m_due.empty() && m_timers.empty() && !m_babble; }

private:
    struct Pending {
        std::vector<uint8_t> bytes;
        std::string text;
    };
    struct Babble {
        std::vector<uint8_t> bytes;
        TimePoint next; // the next burst
        TimePoint end;
    };

    static Event sent(Pending pending);
    bool roomToWait() const { return m_timers.size() + m_held.size() < kMaxWaiting; }

    std::vector<Event> m_due; // due at once, since m_dueSince
    TimePoint m_dueSince{};
    // Equal times keep their order in the multimap: answers go out as they were due.
    std::multimap<TimePoint, Pending> m_timers;
    // While stalled, every answer waits for this time and then goes out in order.
    std::optional<TimePoint> m_stalledUntil;
    std::vector<Pending> m_held; // late replies kept back until release()
    std::optional<Babble> m_babble;
};

} // namespace virtualevm
