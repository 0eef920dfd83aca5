// The rule for an awaited piece, kept by the port's read calls (the transactions' way) and by
// stepping on the link's clock (the search's way): both must end the same, at the same time.
#include "link/awaitedpiece.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

using namespace sundial;

namespace {

long long g_now = 0;

long long virtualClock() {
    return g_now;
}

struct Arrival {
    long long at;
    std::vector<std::uint8_t> bytes;
};

// Bytes that arrive at given times, and a failure from a given time on. read() keeps a port's
// call rule in virtual time; readSoon() only looks, as the search calls it.
class TimedPort final : public BoardPort {
public:
    TimedPort(std::deque<Arrival> arrivals, std::optional<long long> failsAt)
        : m_arrivals(std::move(arrivals)), m_failsAt(failsAt) {}

    int read(std::span<std::uint8_t> buffer) override {
        EXPECT_TRUE(m_blocking) << "a stepping receive made a blocking read call";
        ++readCalls;
        if (failed()) {
            return -1;
        }
        std::size_t got = take(buffer);
        if (got > 0) {
            return static_cast<int>(got);
        }
        const long long deadline = g_now + kReadTimeoutMs;
        while (got < buffer.size()) {
            const long long next = nextEvent();
            if (next > deadline) {
                g_now = deadline;
                break;
            }
            g_now = next;
            if (failed()) {
                return -1;
            }
            got += take(buffer.subspan(got));
        }
        return static_cast<int>(got);
    }
    int readSoon(std::span<std::uint8_t> buffer, int waitMs) override {
        EXPECT_FALSE(m_blocking) << "a blocking receive stepped";
        EXPECT_EQ(waitMs, 0) << "a step waited";
        return failed() ? -1 : static_cast<int>(take(buffer));
    }
    bool write(std::span<const std::uint8_t>) override { return false; }
    void purgeReceive() override {}
    void drainReceive(int, int) override {}
    int close() override { return 1; }
    WaitHandle waitHandle() const override { return {}; }

    // When the next byte arrives or the port fails; far off when neither will happen.
    long long nextEvent() const {
        long long next = m_failsAt.value_or(kNever);
        if (!m_arrivals.empty()) {
            next = std::min(next, m_arrivals.front().at);
        }
        return next;
    }
    void blocking(bool on) { m_blocking = on; }

    int readCalls = 0;
    static constexpr long long kNever = 1'000'000'000;

private:
    bool failed() const { return m_failsAt && g_now >= *m_failsAt; }
    // What has arrived by now, as far as `buffer` holds it; the rest stays queued.
    std::size_t take(std::span<std::uint8_t> buffer) {
        std::size_t got = 0;
        while (got < buffer.size() && !m_arrivals.empty() && m_arrivals.front().at <= g_now) {
            std::vector<std::uint8_t>& bytes = m_arrivals.front().bytes;
            const std::size_t n = std::min(bytes.size(), buffer.size() - got);
            std::copy_n(bytes.begin(), n, buffer.begin() + static_cast<std::ptrdiff_t>(got));
            bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
            if (bytes.empty()) {
                m_arrivals.pop_front();
            }
            got += n;
        }
        return got;
    }

    std::deque<Arrival> m_arrivals;
    std::optional<long long> m_failsAt;
    bool m_blocking = true;
};

std::vector<std::uint8_t> run(std::size_t n, std::uint8_t from) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<std::uint8_t>(from + i);
    }
    return bytes;
}

struct PieceCase {
    const char* what;
    std::deque<Arrival> arrivals; // of a 7-byte piece, bytes 1 to 7 in order
    std::optional<long long> failsAt;
    AwaitedPiece::State state;
    long long endsAt;
    int readCalls; // the blocking way's
};

const PieceCase kCases[] = {
    {"whole at once", {{0, run(7, 1)}}, {}, AwaitedPiece::State::Arrived, 0, 1},
    {"part there, rest within the wait",
     {{0, run(2, 1)}, {100, run(2, 3)}, {200, run(3, 5)}},
     {},
     AwaitedPiece::State::Arrived,
     200,
     2},
    {"rest just before the wait ends",
     {{0, run(2, 1)}, {kReadTimeoutMs - 1, run(5, 3)}},
     {},
     AwaitedPiece::State::Arrived,
     kReadTimeoutMs - 1,
     2},
    {"two calls wait in vain, the third brings it",
     {{2 * kReadTimeoutMs + 10, run(7, 1)}},
     {},
     AwaitedPiece::State::Arrived,
     2 * kReadTimeoutMs + 10,
     3},
    {"silent", {}, {}, AwaitedPiece::State::Missing, 3 * kReadTimeoutMs, 3},
    {"not whole after three calls",
     {{0, run(1, 1)}, {kReadTimeoutMs + 100, run(1, 2)}, {3 * kReadTimeoutMs, run(5, 3)}},
     {},
     AwaitedPiece::State::Missing,
     2 * kReadTimeoutMs,
     3},
    {"a waiting call collects the rest as it comes",
     {{0, run(1, 1)}, {10, run(1, 2)}, {20, run(1, 3)}, {30, run(4, 4)}},
     {},
     AwaitedPiece::State::Arrived,
     30,
     2},
    {"fails during a wait", {{0, run(2, 1)}}, 300, AwaitedPiece::State::Failed, 300, 2},
    {"fails at once", {{0, run(7, 1)}}, 0, AwaitedPiece::State::Failed, 0, 1},
};

TEST(AwaitedPiece, TheBlockingWayFollowsTheRule) {
    for (const PieceCase& c : kCases) {
        SCOPED_TRACE(c.what);
        g_now = 0;
        TimedPort port(c.arrivals, c.failsAt);
        std::vector<std::uint8_t> piece(7, 0);
        std::size_t have = 99;
        EXPECT_EQ(AwaitedPiece::receive(port, piece, have), c.state);
        EXPECT_EQ(g_now, c.endsAt);
        EXPECT_EQ(port.readCalls, c.readCalls);
        if (c.state == AwaitedPiece::State::Arrived) {
            EXPECT_EQ(piece, run(7, 1));
            EXPECT_EQ(have, 7U);
        } else {
            EXPECT_LT(have, 7U) << "what came of a piece that did not arrive whole";
        }
    }
}

// Stepped as the search does: between steps the clock moves to the end of the waiting call or to
// the next arrival, whichever comes first, as its wait for input would wake.
TEST(AwaitedPiece, TheSteppingWayEndsAsTheBlockingWay) {
    for (const PieceCase& c : kCases) {
        SCOPED_TRACE(c.what);
        g_now = 0;
        TimedPort port(c.arrivals, c.failsAt);
        port.blocking(false);
        std::vector<std::uint8_t> piece(7, 0);
        AwaitedPiece progress;
        AwaitedPiece::State state = AwaitedPiece::State::Waiting;
        for (int steps = 0; steps < 100; ++steps) {
            const long long before = g_now;
            state = progress.step(port, piece, &virtualClock);
            EXPECT_EQ(g_now, before) << "a step waited";
            if (state != AwaitedPiece::State::Waiting) {
                break;
            }
            ASSERT_GT(progress.callEnds(), g_now) << "waiting without an end";
            g_now = std::min(progress.callEnds(), port.nextEvent());
        }
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(g_now, c.endsAt);
        EXPECT_EQ(progress.callEnds(), -1) << "no call waits once the piece is decided";
        if (c.state == AwaitedPiece::State::Arrived) {
            EXPECT_EQ(piece, run(7, 1));
        }
    }
}

// A call that finds nothing waits the read time-out, from when it began.
TEST(AwaitedPiece, AStepThatFindsNothingWaitsTheReadTimeOut) {
    g_now = 1000;
    TimedPort port({}, {});
    port.blocking(false);
    std::vector<std::uint8_t> piece(2, 0);
    AwaitedPiece progress;
    EXPECT_EQ(progress.step(port, piece, &virtualClock), AwaitedPiece::State::Waiting);
    EXPECT_EQ(progress.callEnds(), 1000 + kReadTimeoutMs);
    g_now = 1000 + kReadTimeoutMs - 1;
    EXPECT_EQ(progress.step(port, piece, &virtualClock), AwaitedPiece::State::Waiting);
    EXPECT_EQ(progress.callEnds(), 1000 + kReadTimeoutMs) << "the same call waits on";
    g_now = 1000 + kReadTimeoutMs;
    EXPECT_EQ(progress.step(port, piece, &virtualClock), AwaitedPiece::State::Waiting);
    EXPECT_EQ(progress.callEnds(), 1000 + 2 * kReadTimeoutMs) << "the second call begins";
}

} // namespace
