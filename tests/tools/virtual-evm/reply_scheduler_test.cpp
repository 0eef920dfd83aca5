// The virtual board's reply timing on a fake clock: what goes out when, in which order.
#include "tools/virtual-evm/replyscheduler.h"

#include "tests/support/casenames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace virtualevm;

namespace {

using TimePoint = ReplyScheduler::TimePoint;
using std::chrono::milliseconds;

// The fake clock's zero.
const TimePoint kZero{};

TimePoint at(unsigned ms) {
    return kZero + milliseconds(ms);
}

long long msOf(TimePoint when) {
    return std::chrono::duration_cast<milliseconds>(when - kZero).count();
}

Event request(const std::string& text) {
    return Event{Event::Direction::Rx, {0x1E}, text};
}

Event answer(const std::string& text, unsigned delayMs = 0) {
    Event event{Event::Direction::Tx, {0x1F, 0x00}, text};
    event.delayMs = delayMs;
    return event;
}

Event behind(Event event) {
    event.behindPending = true;
    return event;
}

Event stalling(Event event, unsigned stallMs) {
    event.stallMs = stallMs;
    return event;
}

Event held(Event event) {
    event.held = true;
    return event;
}

Event babbling(Event event, unsigned babbleMs) {
    event.babbleMs = babbleMs;
    return event;
}

std::string render(const Event& event, TimePoint when) {
    return (event.direction == Event::Direction::Rx ? "rx " : "tx ") + event.text + "@" +
           std::to_string(msOf(when));
}

struct Input {
    unsigned atMs;
    std::vector<Event> events;
};

// The program's loop on the fake clock: each input at its time and, in between, every deadline
// the scheduler names, up to `untilMs`. Returns what went out, "rx|tx text@ms".
std::vector<std::string> play(ReplyScheduler& scheduler, std::vector<Input> inputs,
                              unsigned untilMs) {
    std::vector<std::string> sent;
    size_t next = 0;
    TimePoint last = kZero;
    for (int step = 0; step < 10000; ++step) {
        std::optional<TimePoint> now = scheduler.nextDeadline();
        if (next < inputs.size() && (!now || at(inputs[next].atMs) <= *now)) {
            now = at(inputs[next].atMs);
        }
        if (!now || *now > at(untilMs)) {
            return sent;
        }
        EXPECT_GE(*now, last) << "a deadline in the past";
        last = *now;
        for (; next < inputs.size() && at(inputs[next].atMs) == *now; ++next) {
            scheduler.add(inputs[next].events, *now);
        }
        std::vector<Event> due;
        scheduler.takeDue(*now, due);
        for (const Event& event : due) {
            sent.push_back(render(event, *now));
        }
    }
    ADD_FAILURE() << "the deadlines never ran out";
    return sent;
}

struct ScheduleCase {
    const char* name;
    std::vector<Input> inputs;
    std::vector<std::string> sent;
};

void PrintTo(const ScheduleCase& c, std::ostream* os) {
    *os << c.name;
}

class Schedule : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(Schedule, SendsEachAnswerAtItsTimeInOrder) {
    ReplyScheduler scheduler;
    EXPECT_EQ(play(scheduler, GetParam().inputs, 1000), GetParam().sent);
    EXPECT_TRUE(scheduler.idle());
    EXPECT_FALSE(scheduler.nextDeadline());
}

INSTANTIATE_TEST_SUITE_P(
    ReplyScheduler, Schedule,
    ::testing::Values(
        ScheduleCase{"atOnce",
                     {{0, {request("read"), answer("ack"), answer("read-reply")}}},
                     {"rx read@0", "tx ack@0", "tx read-reply@0"}},
        ScheduleCase{"delayed",
                     {{0, {request("read"), answer("ack"), answer("late", 250)}}},
                     {"rx read@0", "tx ack@0", "tx late@250"}},
        // Without "behind" each request's answer is timed on its own and may overtake.
        ScheduleCase{"delaysCountFromTheirOwnRequest",
                     {{0, {answer("late", 300)}}, {100, {answer("probe-reply", 50)}}},
                     {"tx probe-reply@150", "tx late@300"}},
        ScheduleCase{"behindCountsFromTheLastAnswerStillDue",
                     {{0, {answer("late", 300), answer("sooner", 100)}},
                      {10, {behind(answer("slow ack", 50)), behind(answer("slow reply", 50))}}},
                     {"tx sooner@100", "tx late@300", "tx slow ack@350", "tx slow reply@350"}},
        // The answers of one request share their start: the second is not behind the first.
        ScheduleCase{"behindAnswersOfOneRequestShareTheirStart",
                     {{0, {answer("late", 200)}},
                      {10, {behind(answer("slow", 100)), behind(answer("repeated", 150))}}},
                     {"tx late@200", "tx slow@300", "tx repeated@350"}},
        ScheduleCase{
            "behindWithoutDelayFollowsTheLastAnswerStillDue",
            {{0, {answer("late", 200)}}, {50, {behind(answer("ack")), behind(answer("reply"))}}},
            {"tx late@200", "tx ack@200", "tx reply@200"}},
        ScheduleCase{"behindNothingStillDueCountsFromNow",
                     {{0, {answer("late", 100)}},
                      {150, {behind(answer("ack")), behind(answer("slow", 40))}}},
                     {"tx late@100", "tx ack@150", "tx slow@190"}},
        // The loop takes the input before it looks at the clock's deadlines.
        ScheduleCase{"anAnswerAtOnceGoesAheadOfOneFallingDueThen",
                     {{0, {answer("late", 200)}}, {200, {request("probe"), answer("ack")}}},
                     {"rx probe@200", "tx ack@200", "tx late@200"}},
        ScheduleCase{"stallHoldsLaterAnswersInOrder",
                     {{0, {request("read"), stalling(answer("stalled ack"), 100), answer("reply")}},
                      {30, {request("probe"), answer("ack"), answer("probe-reply")}},
                      {60, {answer("late", 10)}}},
                     {"rx read@0", "rx probe@30", "tx stalled ack@100", "tx reply@100",
                      "tx ack@100", "tx probe-reply@100", "tx late@100"}},
        ScheduleCase{"stallKeepsALongerDelay",
                     {{0, {stalling(answer("stalled ack"), 100)}}, {20, {answer("late", 200)}}},
                     {"tx stalled ack@100", "tx late@220"}},
        // And a held reply is held again.
        ScheduleCase{"afterTheStallAnswersGoAtOnce",
                     {{0, {stalling(answer("stalled ack"), 100)}},
                      {150, {answer("ack"), held(answer("late"))}}},
                     {"tx stalled ack@100", "tx ack@150"}},
        ScheduleCase{"aHeldReplyDuringAStallGoesOutWithIt",
                     {{0, {stalling(answer("stalled ack"), 100)}}, {10, {held(answer("late"))}}},
                     {"tx stalled ack@100", "tx late@100"}},
        ScheduleCase{"babbleRepeatsEveryGapUntilItsEnd",
                     {{0, {request("write"), babbling(answer("babble"), 7)}}},
                     {"rx write@0", "tx babble@0", "tx babble@2", "tx babble@4", "tx babble@6"}},
        ScheduleCase{"babbleNoLongerThanTheGapIsOneBurst",
                     {{0, {babbling(answer("babble"), 2)}}},
                     {"tx babble@0"}},
        ScheduleCase{"requestsDuringABabbleAreAnsweredAtOnce",
                     {{0, {babbling(answer("babble"), 5)}}, {3, {request("probe"), answer("ack")}}},
                     {"tx babble@0", "tx babble@2", "rx probe@3", "tx ack@3", "tx babble@4"}},
        ScheduleCase{
            "aNewBabbleReplacesTheOneRunning",
            {{0, {babbling(answer("babble"), 100)}}, {3, {babbling(answer("babble again"), 4)}}},
            {"tx babble@0", "tx babble@2", "tx babble again@3", "tx babble@5"}},
        ScheduleCase{"heldRepliesWaitForRelease",
                     {{0, {request("read"), answer("ack"), held(answer("late reply"))}}},
                     {"rx read@0", "tx ack@0"}}),
    testsupport::ByCaseName());

TEST(ReplyScheduler, ReleaseSendsTheHeldRepliesInOrderOnce) {
    ReplyScheduler scheduler;
    std::vector<Event> first = {answer("ack"), held(answer("late 1"))};
    std::vector<Event> second = {answer("ack"), held(answer("late 2"))};
    second[1].bytes = {0x1E, 0x03};
    scheduler.add(first, at(0));
    scheduler.add(second, at(10));
    std::vector<Event> due;
    scheduler.takeDue(at(10), due);
    EXPECT_EQ(due.size(), 2u) << "the acks only";
    EXPECT_FALSE(scheduler.nextDeadline()) << "held replies wait on no time";
    EXPECT_TRUE(scheduler.idle()) << "held replies do not count";

    const std::vector<Event> released = scheduler.release();
    ASSERT_EQ(released.size(), 2u);
    EXPECT_EQ(render(released[0], at(20)), "tx late 1@20");
    EXPECT_EQ(render(released[1], at(20)), "tx late 2@20");
    EXPECT_EQ(released[1].bytes, (std::vector<uint8_t>{0x1E, 0x03}));
    EXPECT_TRUE(scheduler.release().empty());
}

TEST(ReplyScheduler, ABabbleLateForItsBurstSendsOneAndNoFlood) {
    ReplyScheduler scheduler;
    std::vector<Event> events = {babbling(answer("babble"), 100)};
    events[0].bytes = {0xAA, 0x55};
    scheduler.add(events, at(0));
    std::vector<Event> due;
    scheduler.takeDue(at(0), due);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(scheduler.nextDeadline(), at(0) + ReplyScheduler::kBabbleGap);

    due.clear();
    scheduler.takeDue(at(50), due);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(render(due[0], at(50)), "tx babble@50");
    EXPECT_EQ(due[0].bytes, (std::vector<uint8_t>{0xAA, 0x55})) << "the babble's own bytes";
    EXPECT_EQ(scheduler.nextDeadline(), at(50) + ReplyScheduler::kBabbleGap);
}

TEST(ReplyScheduler, IdleOnceNothingIsDueOrBabbling) {
    ReplyScheduler scheduler;
    EXPECT_TRUE(scheduler.idle());
    std::vector<Event> events = {request("read"), answer("ack"), answer("late", 100)};
    scheduler.add(events, at(0));
    EXPECT_FALSE(scheduler.idle()) << "the ack is due and not taken";
    EXPECT_EQ(scheduler.nextDeadline(), at(0));
    std::vector<Event> due;
    scheduler.takeDue(at(99), due);
    EXPECT_EQ(due.size(), 2u);
    EXPECT_FALSE(scheduler.idle()) << "the late answer is still due";
    EXPECT_EQ(scheduler.nextDeadline(), at(100));
    scheduler.takeDue(at(100), due);
    EXPECT_EQ(due.size(), 3u);
    EXPECT_TRUE(scheduler.idle());

    std::vector<Event> babble = {babbling(answer("babble"), 1000)};
    scheduler.add(babble, at(200));
    scheduler.takeDue(at(200), due);
    scheduler.takeDue(at(202), due);
    EXPECT_FALSE(scheduler.idle()) << "a babble is running";
    scheduler.stopBabble();
    EXPECT_TRUE(scheduler.idle());
    EXPECT_FALSE(scheduler.nextDeadline());
    due.clear();
    scheduler.takeDue(at(300), due);
    EXPECT_TRUE(due.empty()) << "no burst after the stop";
}

TEST(ReplyScheduler, ClearDropsEverythingDueHeldStalledOrBabbling) {
    ReplyScheduler scheduler;
    std::vector<Event> events = {held(answer("late")), babbling(answer("babble"), 1000)};
    scheduler.add(events, at(0));
    events = {stalling(answer("stalled ack"), 500), answer("reply")};
    scheduler.add(events, at(10));
    ASSERT_FALSE(scheduler.idle());
    scheduler.clear();
    EXPECT_TRUE(scheduler.idle());
    EXPECT_FALSE(scheduler.nextDeadline());
    EXPECT_TRUE(scheduler.release().empty());

    // The stall went with the cable: an answer within its time goes out at once.
    events = {answer("ack")};
    scheduler.add(events, at(20));
    std::vector<Event> due;
    scheduler.takeDue(at(20), due);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(render(due[0], at(20)), "tx ack@20");
}

// However long the PC keeps asking under a fault that makes answers wait, the waiting answers
// stop at the bound: the first ones are kept, in order, and those beyond it are dropped.
struct BoundCase {
    const char* name;
    Event (*waiting)(unsigned n); // the n-th answer, one that waits
    unsigned takeAtMs;            // when the kept answers are due (held: released then)
    const char* lastAtZero;       // the last line out at once
};

void PrintTo(const BoundCase& c, std::ostream* os) {
    *os << c.name;
}

class WaitingBound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(WaitingBound, KeepsTheFirstAnswersAndDropsThoseBeyond) {
    const BoundCase& c = GetParam();
    ReplyScheduler scheduler;
    const unsigned asked = static_cast<unsigned>(ReplyScheduler::kMaxWaiting) + 10;
    for (unsigned n = 0; n < asked; ++n) {
        std::vector<Event> events = {request("read"), c.waiting(n)};
        scheduler.add(events, at(0));
    }
    // The requests are all logged, those beyond the bound too, and an answer that need not
    // wait goes out at once.
    std::vector<Event> events = {request("probe"), answer("ack")};
    scheduler.add(events, at(0));
    std::vector<Event> due;
    scheduler.takeDue(at(0), due);
    const bool ackAtOnce = std::string(c.lastAtZero) == "tx ack@0";
    ASSERT_EQ(due.size(), asked + (ackAtOnce ? 2 : 1));
    EXPECT_EQ(render(due.back(), at(0)), c.lastAtZero);

    due.clear();
    scheduler.takeDue(at(c.takeAtMs), due);
    const std::vector<Event> released = scheduler.release();
    due.insert(due.end(), released.begin(), released.end());
    ASSERT_EQ(due.size(), ReplyScheduler::kMaxWaiting);
    EXPECT_EQ(due.front().text, "0");
    EXPECT_EQ(due.back().text, std::to_string(ReplyScheduler::kMaxWaiting - 1));

    // Room again once they have gone out.
    events = {c.waiting(asked)};
    scheduler.add(events, at(c.takeAtMs));
    due.clear();
    scheduler.takeDue(at(2 * c.takeAtMs), due);
    const std::vector<Event> again = scheduler.release();
    due.insert(due.end(), again.begin(), again.end());
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].text, std::to_string(asked));
}

INSTANTIATE_TEST_SUITE_P(
    ReplyScheduler, WaitingBound,
    ::testing::Values(
        BoundCase{"delayed", [](unsigned n) { return answer(std::to_string(n), 100); }, 100,
                  "tx ack@0"},
        BoundCase{"behind",
                  [](unsigned n) { return behind(answer(std::to_string(n), n == 0 ? 100 : 0)); },
                  100, "tx ack@0"},
        BoundCase{"held", [](unsigned n) { return held(answer(std::to_string(n))); }, 0,
                  "tx ack@0"},
        // The first answer stalls the board; every later one waits for the stall to end, the
        // ack too, which comes beyond the bound.
        BoundCase{"stalled",
                  [](unsigned n) {
                      return n == 0 ? stalling(answer("0"), 100) : answer(std::to_string(n));
                  },
                  100, "rx probe@0"}),
    testsupport::ByCaseName());

} // namespace
