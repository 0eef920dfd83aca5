#include "replyscheduler.h"

#include <algorithm>
#include <iterator>

namespace virtualevm {

Event ReplyScheduler::sent(Pending pending) {
    return Event{Event::Direction::Tx, std::move(pending.bytes), std::move(pending.text), 0, 0};
}

void ReplyScheduler::add(std::vector<Event>& events, TimePoint now) {
    if (m_stalledUntil && now >= *m_stalledUntil) {
        m_stalledUntil.reset();
    }
    if (m_due.empty()) {
        m_dueSince = now;
    }
    // Where a board that answers in order would start on these answers: after those still due.
    const TimePoint inOrder =
        m_timers.empty() ? now : std::max(now, std::prev(m_timers.end())->first);
    for (Event& event : events) {
        const bool tx = event.direction == Event::Direction::Tx;
        if (tx && event.stallMs > 0) {
            m_stalledUntil = now + std::chrono::milliseconds(event.stallMs);
        }
        if (tx && m_stalledUntil) {
            const auto due =
                std::max(*m_stalledUntil, now + std::chrono::milliseconds(event.delayMs));
            if (roomToWait()) {
                m_timers.emplace(due, Pending{std::move(event.bytes), std::move(event.text)});
            }
            continue;
        }
        if (tx && event.held) {
            if (roomToWait()) {
                m_held.push_back(Pending{std::move(event.bytes), std::move(event.text)});
            }
            continue;
        }
        if (tx && (event.delayMs > 0 || (event.behindPending && inOrder > now))) {
            if (roomToWait()) {
                m_timers.emplace((event.behindPending ? inOrder : now) +
                                     std::chrono::milliseconds(event.delayMs),
                                 Pending{std::move(event.bytes), std::move(event.text)});
            }
            continue;
        }
        if (tx && event.babbleMs > 0) {
            m_babble = Babble{event.bytes, now + kBabbleGap,
                              now + std::chrono::milliseconds(event.babbleMs)};
            if (m_babble->next >= m_babble->end) {
                m_babble.reset();
            }
        }
        m_due.push_back(std::move(event));
    }
}

void ReplyScheduler::takeDue(TimePoint now, std::vector<Event>& due) {
    std::move(m_due.begin(), m_due.end(), std::back_inserter(due));
    m_due.clear();
    while (!m_timers.empty() && m_timers.begin()->first <= now) {
        auto node = m_timers.extract(m_timers.begin());
        due.push_back(sent(std::move(node.mapped())));
    }
    if (m_babble && now >= m_babble->next) {
        due.push_back(sent(Pending{m_babble->bytes, "babble"}));
        m_babble->next = now + kBabbleGap;
        if (m_babble->next >= m_babble->end) {
            m_babble.reset();
        }
    }
}

std::optional<ReplyScheduler::TimePoint> ReplyScheduler::nextDeadline() const {
    std::optional<TimePoint> deadline;
    const auto sooner = [&deadline](TimePoint when) {
        deadline = deadline ? std::min(*deadline, when) : when;
    };
    if (!m_due.empty()) {
        sooner(m_dueSince);
    }
    if (!m_timers.empty()) {
        sooner(m_timers.begin()->first);
    }
    if (m_babble) {
        sooner(m_babble->next);
    }
    return deadline;
}

std::vector<Event> ReplyScheduler::release() {
    std::vector<Event> released;
    released.reserve(m_held.size());
    for (Pending& pending : m_held) {
        released.push_back(sent(std::move(pending)));
    }
    m_held.clear();
    return released;
}

void ReplyScheduler::clear() {
    m_due.clear();
    m_timers.clear();
    m_stalledUntil.reset();
    m_held.clear();
    m_babble.reset();
}

} // namespace virtualevm
